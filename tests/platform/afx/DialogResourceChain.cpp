// Extension modules and the chain of loaded libraries: where the framework finds a resource by
// its identifier (the application first, then the libraries, newest first), what leaves the
// chain with its library, and the bitmap loaded through the chain.
#include "platform/afx/DialogTestKit.h"

#include <gtest/gtest.h>

#include "resources/DesignImages.h"
#include "resources/resource.h"

#include <vector>

namespace {

// Module handles of libraries that exist only as resource owners in these tests.
HMODULE Module(uintptr_t n) {
    return reinterpret_cast<HMODULE>(n * 0x100000);
}

HINSTANCE FoundIn(WORD id, LPCSTR type = RT_DIALOG) {
    return AfxFindResourceHandle(MAKEINTRESOURCE(id), type);
}

class ResourceChain : public ::testing::Test {
protected:
    void TearDown() override {
        for (uintptr_t n = 1; n <= 2; ++n)
            emu::UnregisterModuleResources(Module(n));
        emu::UnregisterResource(NULL, RT_DIALOG, 700);
        AfxTermExtensionModule(m_any, TRUE);
    }
    AFX_EXTENSION_MODULE m_any = {TRUE, NULL, NULL, NULL, NULL};
};

} // namespace

TEST_F(ResourceChain, ApplicationFirstThenNewestLibrary) {
    const BYTE data[4] = {};
    for (uintptr_t n = 1; n <= 2; ++n)
        emu::RegisterResource(Module(n), RT_DIALOG, 700, data, sizeof data);
    EXPECT_EQ(NULL, FoundIn(700)); // no library in the chain yet
    AFX_EXTENSION_MODULE older = {}, newer = {};
    ASSERT_TRUE(AfxInitExtensionModule(older, Module(1)));
    ASSERT_TRUE(AfxInitExtensionModule(newer, Module(2)));
    new CDynLinkLibrary(older);
    new CDynLinkLibrary(newer);
    EXPECT_EQ(Module(2), FoundIn(700));
    emu::RegisterResource(NULL, RT_DIALOG, 700, data, sizeof data);
    EXPECT_EQ(NULL, FoundIn(700)); // the application's own
    emu::UnregisterResource(NULL, RT_DIALOG, 700);
    AfxTermExtensionModule(newer);
    EXPECT_FALSE(newer.bInitialized);
    EXPECT_EQ(Module(1), FoundIn(700));
    AfxTermExtensionModule(older);
    EXPECT_EQ(NULL, FoundIn(700));
}

TEST_F(ResourceChain, BitmapIsLoadedThroughTheChainAndCutIntoImages) {
    std::vector<BYTE> bits;
    ASSERT_TRUE(BuildDesignImages(bits));
    emu::RegisterResource(Module(1), RT_BITMAP, 704, bits.data(), bits.size());
    CBitmap missing;
    EXPECT_FALSE(missing.LoadBitmap(704));

    AFX_EXTENSION_MODULE state = {};
    ASSERT_TRUE(AfxInitExtensionModule(state, Module(1)));
    new CDynLinkLibrary(state);
    EXPECT_EQ(Module(1), FoundIn(704, RT_BITMAP));
    CBitmap bitmap;
    ASSERT_TRUE(bitmap.LoadBitmap(704));
    CImageList images;
    ASSERT_TRUE(images.Create(16, 16, ILC_COLOR24, 13, 100));
    EXPECT_EQ(0, images.Add(&bitmap, RGB(0, 0, 0)));
    EXPECT_EQ(DESIGN_IMAGE_COUNT, images.GetImageCount());
    AfxTermExtensionModule(state);
}
