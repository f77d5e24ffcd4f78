// Bitmap 9008 as the resource holds it: its header, and 13 images that can be told apart,
// each drawn on the black mask colour.
#include "resources/DesignImages.h"
#include "resources/resource.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace {

DWORD Dword(const std::vector<BYTE>& bytes, size_t at) {
    return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) |
           (static_cast<DWORD>(bytes[at + 3]) << 24);
}

WORD Word(const std::vector<BYTE>& bytes, size_t at) {
    return static_cast<WORD>(bytes[at] | (bytes[at + 1] << 8));
}

// The pixels of one image, top row first, as 0xRRGGBB.
std::vector<DWORD> Image(const std::vector<BYTE>& bytes, int image) {
    const size_t stride = DESIGN_IMAGES_WIDTH * 3;
    std::vector<DWORD> pixels;
    for (int y = 0; y < DESIGN_IMAGE_SIZE; ++y) {
        size_t row = 40 + (DESIGN_IMAGES_HEIGHT - 1 - y) * stride; // rows are stored bottom-up
        for (int x = 0; x < DESIGN_IMAGE_SIZE; ++x) {
            size_t at = row + (image * DESIGN_IMAGE_SIZE + x) * 3;
            pixels.push_back((bytes[at + 2] << 16) | (bytes[at + 1] << 8) | bytes[at]);
        }
    }
    return pixels;
}

std::vector<BYTE> Built() {
    std::vector<BYTE> bytes;
    EXPECT_TRUE(BuildDesignImages(bytes));
    return bytes;
}

} // namespace

TEST(DesignImages, HeaderDescribesA208By16TrueColourBitmap) {
    std::vector<BYTE> bytes = Built();
    ASSERT_EQ(40u + 208u * 3u * 16u, bytes.size());
    EXPECT_EQ(40u, Dword(bytes, 0));
    EXPECT_EQ(208u, Dword(bytes, 4));
    EXPECT_EQ(16u, Dword(bytes, 8)); // positive: bottom-up
    EXPECT_EQ(1, Word(bytes, 12));
    EXPECT_EQ(24, Word(bytes, 14));
    EXPECT_EQ(0u, Dword(bytes, 16)); // uncompressed
    EXPECT_EQ(208u * 3u * 16u, Dword(bytes, 20));
    EXPECT_EQ(0u, Dword(bytes, 32)); // no colour table
    EXPECT_EQ(DESIGN_IMAGE_COUNT * DESIGN_IMAGE_SIZE, DESIGN_IMAGES_WIDTH);
}

TEST(DesignImages, EveryImageIsDrawnOnTheMaskColourAndDiffersFromTheOthers) {
    std::vector<BYTE> bytes = Built();
    ASSERT_EQ(40u + 208u * 3u * 16u, bytes.size());
    std::set<std::vector<DWORD>> seen;
    for (int image = 0; image < DESIGN_IMAGE_COUNT; ++image) {
        SCOPED_TRACE(image);
        std::vector<DWORD> pixels = Image(bytes, image);
        int masked = 0;
        for (DWORD pixel : pixels)
            masked += pixel == 0 ? 1 : 0;
        EXPECT_GT(masked, 16) << "no transparent background";
        EXPECT_LT(masked, 256 - 16) << "hardly anything drawn";
        EXPECT_TRUE(seen.insert(pixels).second) << "same as another image";
    }
}

TEST(DesignImages, TheBrowsersThreeImagesAreTheFolderAndTheTwoDesigns) {
    std::vector<BYTE> bytes = Built();
    ASSERT_EQ(40u + 208u * 3u * 16u, bytes.size());
    // The folder is mostly yellow; the two designs share their hoop but differ in stitches.
    std::vector<DWORD> folder = Image(bytes, DESIGN_IMAGE_FOLDER);
    int yellow = 0;
    for (DWORD pixel : folder)
        yellow += pixel == 0xFFE040 ? 1 : 0;
    EXPECT_GT(yellow, 64);

    std::vector<DWORD> extended = Image(bytes, DESIGN_IMAGE_EXTENDED);
    std::vector<DWORD> plain = Image(bytes, DESIGN_IMAGE_PLAIN);
    int shared = 0, differing = 0;
    for (size_t i = 0; i < plain.size(); ++i) {
        if (plain[i] != 0 && plain[i] == extended[i])
            ++shared;
        if (plain[i] != extended[i])
            ++differing;
    }
    EXPECT_GT(shared, 20);
    EXPECT_GT(differing, 10);
}
