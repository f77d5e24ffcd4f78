// Previews read back as a browser or an image viewer would: the SVG through libxml2's parser,
// the PNG through libpng, the terminal text by its characters.
#include "stdafx.h"
#include "formats/Preview.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <png.h>

#include <cstdio>
#include <cstring>

using formats::Move;

namespace {

// Block 0 sews along y = 0 from x 0 to 400; a colour change moves to (0, -300); block 1 sews
// down to (0, -600). Extents 0, 0, 400, 600 fit hoop C/D only: the picture spans its outline,
// 1400 x 2000 units and a margin of 40, a quarter pixel per unit at 521 pixels.
std::vector<uint8_t> TwoBlocks() {
    formats::Design d;
    for (long long x = 100; x <= 400; x += 100)
        d.steps.push_back({Move::Stitch, x, 0});
    d.steps.push_back({Move::ColourChange, 0, -300});
    d.steps.push_back({Move::Stitch, 0, -450});
    d.steps.push_back({Move::Stitch, 0, -600});
    return formats::WriteKst(d, 0);
}

formats::Picture Draw(const std::vector<uint8_t>& design, bool jumps) {
    formats::Picture picture;
    std::string error;
    formats::PreviewOptions options;
    options.jumps = jumps;
    EXPECT_TRUE(formats::DrawDesign(design.data(), design.size(), options, picture, error))
        << error;
    return picture;
}

std::string Hex(formats::Rgb c) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", c.r, c.g, c.b);
    return text;
}

std::string Attribute(xmlNode* node, const char* name) {
    xmlChar* value = xmlGetProp(node, reinterpret_cast<const xmlChar*>(name));
    const std::string text = value != nullptr ? reinterpret_cast<const char*>(value) : "";
    xmlFree(value);
    return text;
}

TEST(Preview, SvgParsesWithItsSizeBlocksJumpsAndHoop) {
    for (bool jumps : {false, true}) {
        const std::string svg = formats::ToSvg(Draw(TwoBlocks(), jumps), 521);
        xmlDoc* doc = xmlReadMemory(svg.data(), static_cast<int>(svg.size()), "preview.svg",
                                    nullptr, XML_PARSE_NONET);
        ASSERT_NE(doc, nullptr) << svg;
        xmlNode* root = xmlDocGetRootElement(doc);
        EXPECT_STREQ(reinterpret_cast<const char*>(root->name), "svg");
        ASSERT_NE(root->ns, nullptr);
        EXPECT_STREQ(reinterpret_cast<const char*>(root->ns->href), "http://www.w3.org/2000/svg");
        EXPECT_EQ(Attribute(root, "width") + "x" + Attribute(root, "height"), "371x521");
        std::map<std::string, int> drawn; // element and stroke colour -> count
        std::string labels;
        for (xmlNode* n = root->children; n != nullptr; n = n->next) {
            if (n->type != XML_ELEMENT_NODE)
                continue;
            drawn[reinterpret_cast<const char*>(n->name) + (" " + Attribute(n, "stroke"))]++;
            if (xmlStrcmp(n->name, reinterpret_cast<const xmlChar*>("text")) == 0)
                labels += reinterpret_cast<const char*>(n->children->content) + std::string(";");
        }
        const std::vector<formats::Rgb>& palette = formats::Palette();
        EXPECT_EQ(drawn["polyline " + Hex(palette[0])], 1);
        EXPECT_EQ(drawn["polyline " + Hex(palette[1])], 1);
        // The colour change's move of 400 x 300 is four pieces in the machine's units.
        EXPECT_EQ(drawn["line " + Hex(palette[1])], jumps ? 4 : 0);
        EXPECT_EQ(drawn["rect "], 1); // the background
        EXPECT_EQ(labels, "extents;hoop C/D;");
        xmlFreeDoc(doc);
    }
}

TEST(Preview, PngHasItsPixelSizeAndItsLines) {
    testsupport::TempDir dir;
    std::string error;
    ASSERT_TRUE(formats::WritePng(formats::Rasterise(Draw(TwoBlocks(), false), 521),
                                  dir.File("p.png"), error))
        << error;
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, dir.File("p.png").c_str()));
    image.format = PNG_FORMAT_RGB;
    std::vector<formats::Rgb> pixels(PNG_IMAGE_SIZE(image) / 3);
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr));
    ASSERT_EQ(image.width, 371u);
    ASSERT_EQ(image.height, 521u);
    std::map<int, long> counts; // palette index (-1 other colours) -> pixels
    long drawn = 0;
    for (const formats::Rgb& p : pixels) {
        if (p == formats::kBackground)
            continue;
        ++drawn;
        const auto& palette = formats::Palette();
        counts[static_cast<int>(std::find(palette.begin(), palette.end(), p) - palette.begin())]++;
    }
    // 400 units of block 0 and 300 of block 1 at a quarter pixel each, both ends included;
    // the outline of hoop C/D (351 x 501 pixels) and at most the whole extents' box.
    EXPECT_EQ(counts[0], 101);
    EXPECT_EQ(counts[1], 76);
    EXPECT_GE(drawn, 101 + 76 + 1700);
    EXPECT_LE(drawn, 101 + 76 + 1700 + 500);
    // Block 0 along the row of y = 0, block 1 down the column of x = 0.
    EXPECT_EQ(pixels[260 * 371 + 235], formats::Palette()[0]);
    EXPECT_EQ(pixels[375 * 371 + 185], formats::Palette()[1]);
}

TEST(Preview, TerminalHalfBlocks) {
    formats::Raster raster;
    raster.width = 3;
    raster.height = 3;
    raster.pixels.assign(9, formats::kBackground);
    raster.pixels[4] = {1, 2, 3};
    const std::string text = formats::ToTerminal(raster);
    size_t blocks = 0;
    for (size_t at = text.find("\xe2\x96\x80"); at != std::string::npos;
         at = text.find("\xe2\x96\x80", at + 1))
        ++blocks;
    EXPECT_EQ(blocks, 6u);
    EXPECT_NE(text.find("\x1b[48;2;1;2;3m"), std::string::npos); // row 1 is the lower half
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2);
}

} // namespace
