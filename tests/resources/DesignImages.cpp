// Bitmap 9008 as the resource holds it: 13 images that can be told apart, each drawn on the
// black mask colour; the browser's folder is yellow and its two designs share their hoop.
#include "resources/DesignImages.h"
#include "resources/resource.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace {

// The pixels of one image, top row first, as 0xRRGGBB, after the 40-byte header.
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

int Count(const std::vector<DWORD>& pixels, DWORD colour) {
    int n = 0;
    for (DWORD pixel : pixels)
        n += pixel == colour ? 1 : 0;
    return n;
}

} // namespace

TEST(DesignImages, EveryImageIsDrawnOnTheMaskColourAndDiffersFromTheOthers) {
    std::vector<BYTE> bytes;
    ASSERT_TRUE(BuildDesignImages(bytes) && bytes.size() == 40u + 208u * 3u * 16u);
    std::set<std::vector<DWORD>> seen;
    for (int image = 0; image < DESIGN_IMAGE_COUNT; ++image) {
        SCOPED_TRACE(image);
        std::vector<DWORD> pixels = Image(bytes, image);
        const int masked = Count(pixels, 0);
        EXPECT_TRUE(masked > 16 && masked < 256 - 16) << masked << " pixels of the mask colour";
        EXPECT_TRUE(seen.insert(pixels).second) << "same as another image";
    }

    EXPECT_GT(Count(Image(bytes, DESIGN_IMAGE_FOLDER), 0xFFE040), 64);
    std::vector<DWORD> extended = Image(bytes, DESIGN_IMAGE_EXTENDED);
    std::vector<DWORD> plain = Image(bytes, DESIGN_IMAGE_PLAIN);
    int shared = 0, differing = 0;
    for (size_t i = 0; i < plain.size(); ++i) {
        shared += plain[i] != 0 && plain[i] == extended[i] ? 1 : 0;
        differing += plain[i] != extended[i] ? 1 : 0;
    }
    EXPECT_GT(shared, 20);
    EXPECT_GT(differing, 10);
}
