#include "stdafx.h"

#include "resources/ResourceSection.h"
#include "resources/DesignImages.h"
#include "resources/DialogTemplates.h"
#include "resources/resource.h"

#include <vector>

namespace {

struct Section {
    std::vector<std::vector<BYTE>> blocks;
    std::vector<RESOURCEENTRY> entries;

    void Add(LPCSTR lpType, WORD wID, std::vector<BYTE> bytes) {
        blocks.push_back(std::move(bytes));
        const std::vector<BYTE>& block = blocks.back();
        entries.push_back({lpType, wID, block.data(), static_cast<DWORD>(block.size())});
    }

    Section() {
        int nDialogs = 0;
        const DIALOGRESOURCE* pDialogs = GetDialogResources(&nDialogs);
        blocks.reserve(nDialogs + 1); // entries point into the blocks: no reallocation
        for (int i = 0; i < nDialogs; ++i) {
            std::vector<BYTE> bytes;
            if (BuildDialogTemplate(pDialogs[i], bytes))
                Add(RT_DIALOG, pDialogs[i].wID, std::move(bytes));
        }
        std::vector<BYTE> bitmap;
        if (BuildDesignImages(bitmap))
            Add(RT_BITMAP, IDB_DESIGN_IMAGES, std::move(bitmap));
    }
};

} // namespace

const RESOURCEENTRY* GetResourceSection(int* pnCount) {
    static const Section section;
    if (pnCount != NULL)
        *pnCount = static_cast<int>(section.entries.size());
    return section.entries.data();
}
