// vantel folderinfo: a PC folder as the machine sees it when it browses the PC
// (CCom::SetFolderInfo): the records of the folder-information blob, and its bytes with --out.
#include "ComHost.h"
#include "command/Com.h"
#include "command/FolderInfo.h"

#include <cstdio>
#include <cstring>

namespace {

LONG GetLong(const BYTE* p) {
    LONG value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

int RunFolderInfo(const std::vector<std::string>& words) {
    host::Args args(words, {});
    if (!args.Ok() || args.Positional().size() != 1) {
        std::fprintf(stderr, "vantel folderinfo: %s\n",
                     args.Ok() ? "usage: vantel folderinfo DIR [--out FILE]"
                               : args.Error().c_str());
        return 2;
    }
    std::string folder = args.Positional()[0];
    CCom com(NULL, NULL);
    const BYTE* blob = com.SetFolderInfo(&folder[0]);
    if (blob == NULL) {
        std::fprintf(stderr, "vantel folderinfo: out of memory\n");
        return 1;
    }
    const UINT size = com.m_nFolderInfoSize;
    DWORD count = 0;
    const UINT walked = FolderInfoFit(blob, size, size, &count);
    std::printf("%s: %lu entr%s, %u bytes\n", folder.c_str(), static_cast<unsigned long>(count),
                count == 1 ? "y" : "ies", size);
    std::printf("%8s %6s %8s %8s  %s\n", "length", "kind", "width", "height", "name");
    for (UINT at = FOLDERINFO_COUNT_SIZE; at < walked; at += static_cast<UINT>(GetLong(blob + at)))
        std::printf("%8ld %6ld %8ld %8ld  %s%s\n", static_cast<long>(GetLong(blob + at)),
                    static_cast<long>(GetLong(blob + at + 4)),
                    static_cast<long>(GetLong(blob + at + 8)),
                    static_cast<long>(GetLong(blob + at + 12)),
                    reinterpret_cast<const char*>(blob + at + FOLDERINFO_RECORD_HEADER),
                    GetLong(blob + at + 4) == FOLDERINFO_KIND_FOLDER ? "\\" : "");
    if (const auto out = args.Get("out")) {
        if (!host::WriteWholeFile(*out, blob, size)) {
            std::fprintf(stderr, "vantel folderinfo: cannot write %s\n", out->c_str());
            return 1;
        }
    }
    return 0;
}

} // namespace

VANTEL_COMMAND("folderinfo", "folderinfo DIR [--out FILE]",
               "list a PC folder as the machine sees it (folders and valid designs)",
               RunFolderInfo);
