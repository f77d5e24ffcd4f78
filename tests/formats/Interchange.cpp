// DST and EXP against the machine's own format: round trips, the moves re-split from absolute
// positions, the DST header's fields, and the readers' refusals.
#include "stdafx.h"
#include "formats/Dst.h"
#include "formats/Exp.h"
#include "host/DesignSample.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

using formats::Design;
using formats::Move;

namespace {

Design Read(const std::vector<uint8_t>& bytes, const char* format) {
    Design design;
    std::string error;
    const bool read =
        std::string(format) == "DST"   ? ReadDst(bytes.data(), bytes.size(), design, error)
        : std::string(format) == "EXP" ? ReadExp(bytes.data(), bytes.size(), design, error)
                                       : ReadKst(bytes.data(), bytes.size(), design, error);
    EXPECT_TRUE(read) << format << ": " << error;
    return design;
}

std::vector<uint8_t> Write(const Design& design, const char* format) {
    std::vector<uint8_t> bytes;
    std::string error;
    if (std::string(format) == "EXP")
        return formats::WriteExp(design);
    EXPECT_TRUE(formats::WriteDst(design, bytes, error)) << error;
    return bytes;
}

// What a conversion must keep when it may re-split moves: the block and position of every
// stitch, the block count and the end position.
std::vector<long long> Kept(const Design& design) {
    std::vector<long long> kept = {formats::BlockCount(design)};
    long long block = 0;
    for (const formats::Step& step : design.steps) {
        block += step.move == Move::ColourChange;
        if (step.move == Move::Stitch)
            kept.insert(kept.end(), {block, step.x, step.y});
    }
    if (!design.steps.empty())
        kept.insert(kept.end(), {design.steps.back().x, design.steps.back().y});
    return kept;
}

// Every step: its kind and its position.
std::vector<long long> Flat(const Design& design) {
    std::vector<long long> flat;
    for (const formats::Step& step : design.steps)
        flat.insert(flat.end(), {static_cast<long long>(step.move), step.x, step.y});
    return flat;
}

// The design with its moves cut into the pieces of at most `limit`.
Design Resplit(const Design& design, int limit) {
    Design split;
    long long x = 0, y = 0;
    for (const formats::Piece& piece : formats::SplitMoves(design, limit))
        split.steps.push_back({piece.move, x += piece.dx, y += piece.dy});
    return split;
}

std::vector<uint8_t> Sample(int colours, LONG hoop) {
    host::DesignSampleOptions options;
    options.colours = colours;
    options.hoop = hoop;
    host::DesignSample sample;
    EXPECT_EQ(host::BuildDesignSample(options, sample), "");
    return sample.bytes;
}

// A design with moves of every length: long jumps and colour-change moves, stitches up to 127.
Design Awkward() {
    Design d;
    const long long moves[][3] = {{0, 1000, -333},  {1, 127, 127},   {1, -121, 0}, {2, -900, 250},
                                  {1, 0, -127},     {0, 5, 5},       {2, 0, 0},    {1, 122, -122},
                                  {0, -4000, 2999}, {1, -127, -126}, {2, 300, 1}};
    long long x = 0, y = 0;
    for (const auto& m : moves)
        d.steps.push_back({static_cast<Move>(m[0]), x += m[1], y += m[2]});
    return d;
}

// 100,000 stitches of every length, with long jumps between them.
Design Long() {
    Design d;
    long long x = 0, y = 0;
    for (long long i = 0; i < 100000; ++i) {
        const bool jump = i % 997 == 0;
        x += jump ? 555 - (i % 1111) : (i * 37) % 243 - 121;
        y += jump ? (i % 777) - 300 : (i * 53) % 243 - 121;
        d.steps.push_back({jump ? Move::Jump : Move::Stitch, x, y});
    }
    return d;
}

// A round trip through DST or EXP and the machine's format, and back, keeps every stitch's
// block and position, the block count and the end, without drift over 100,000 stitches.
TEST(Interchange, RoundTripsKeepStitchesBlocksAndEnd) {
    const std::vector<Design> designs = {Read(Sample(4, 1), "KST"), Read(Sample(9, 5), "KST"),
                                         Read(Sample(1, 1), "KST"), Awkward(), Long()};
    for (const char* format : {"DST", "EXP"})
        for (size_t i = 0; i < designs.size(); ++i) {
            SCOPED_TRACE(std::string(format) + " design " + std::to_string(i));
            // Moves come back exactly, cut into the format's pieces; the machine's units take
            // DST's pieces unchanged, and EXP's limit is the machine's own.
            const Design split = Resplit(designs[i], std::string(format) == "DST" ? 121 : 127);
            const Design there = Read(Write(designs[i], format), format);
            EXPECT_EQ(Flat(there), Flat(split));
            EXPECT_EQ(Flat(Read(formats::WriteKst(there, 0), "KST")), Flat(split));
            // Only the awkward design has stitches to re-split.
            if (i < 3 || i == 4) {
                const Design kst = Read(formats::WriteKst(there, 0), "KST");
                EXPECT_EQ(Kept(kst), Kept(designs[i]));
                EXPECT_EQ(Kept(Read(Write(kst, format), format)), Kept(designs[i]));
            }
        }
}

TEST(Interchange, LongMovesAreEqualStepsFromAbsolutePositions) {
    const struct {
        long long dx, dy;
        int limit;
        size_t pieces;
    } cases[] = {{1000, -333, 121, 9}, {-243, 0, 121, 3}, {242, 1, 121, 2},
                 {254, -254, 127, 2},  {255, 7, 127, 3},  {0, 0, 121, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.dx) + "," + std::to_string(c.dy));
        Design d;
        d.steps = {{Move::Stitch, 7, 7}, {Move::Jump, 7 + c.dx, 7 + c.dy}};
        const std::vector<formats::Piece> pieces = formats::SplitMoves(d, c.limit);
        ASSERT_EQ(pieces.size(), c.pieces + 1);
        int sx = 0, sy = 0, lowX = 999, highX = -999;
        for (size_t i = 1; i < pieces.size(); ++i) {
            EXPECT_EQ(pieces[i].move, Move::Jump);
            EXPECT_LE(std::max(std::abs(pieces[i].dx), std::abs(pieces[i].dy)), c.limit);
            lowX = std::min(lowX, pieces[i].dx);
            highX = std::max(highX, pieces[i].dx);
            sx += pieces[i].dx;
            sy += pieces[i].dy;
        }
        EXPECT_EQ(sx, c.dx);
        EXPECT_EQ(sy, c.dy);
        EXPECT_LE(highX - lowX, 1); // equal steps
    }
}

std::string Field(const std::vector<uint8_t>& dst, size_t at, size_t width) {
    return std::string(dst.begin() + at, dst.begin() + at + width);
}

// The header of designs whose origin lies outside them on each side, with a long label and with
// one colour or several: the fields CO:, +X:, -X:, +Y:, -Y:, AX: and AY:.
TEST(Interchange, DstHeaderFields) {
    const struct {
        std::vector<formats::Step> steps;
        const char* fields;
    } cases[] = {
        {{{Move::Jump, 100, 0}, {Move::Stitch, 300, -20}},
         "CO:  0\r+X:  300\r-X:    0\r+Y:    0\r-Y:   20\rAX:+  300\rAY:-   20\r"},
        {{{Move::Jump, -100, 5}, {Move::Stitch, -300, 5}},
         "CO:  0\r+X:    0\r-X:  300\r+Y:    5\r-Y:    0\rAX:-  300\rAY:+    5\r"},
        {{{Move::Jump, 0, 200},
          {Move::ColourChange, 9, 250},
          {Move::ColourChange, 9, 260},
          {Move::Stitch, -9, 1000}},
         "CO:  2\r+X:    9\r-X:    9\r+Y: 1000\r-Y:    0\rAX:-    9\rAY:+ 1000\r"},
        {{{Move::Jump, 1, -200}, {Move::Stitch, 2, -700}, {Move::ColourChange, 2, -701}},
         "CO:  1\r+X:    2\r-X:    0\r+Y:    0\r-Y:  701\rAX:+    2\rAY:-  701\r"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fields);
        Design d;
        d.label = "A label of forty characters, far too long";
        d.steps = c.steps;
        const std::vector<uint8_t> dst = Write(d, "DST");
        const Design back = Read(dst, "DST");
        char head[40];
        std::snprintf(head, sizeof head, "LA:A label of forty\rST:%7zu\r", back.steps.size());
        EXPECT_EQ(Field(dst, 0, 31), head);
        EXPECT_EQ(Field(dst, 31, 63), c.fields);
        EXPECT_EQ(Field(dst, 94, 31), "MX:+    0\rMY:+    0\rPD:******\r\x1a");
        EXPECT_EQ(back.label, "A label of forty");
    }
}

// Refusals name the offset of what is wrong; nothing outside the input is read.
TEST(Interchange, ReadersRefuseWithTheOffset) {
    Design d;
    d.steps = {{Move::Stitch, 10, 10}, {Move::ColourChange, 20, 10}, {Move::Stitch, 20, 30}};
    const std::vector<uint8_t> dst = Write(d, "DST");
    auto patched = [](std::vector<uint8_t> bytes, size_t at, const std::string& text) {
        std::copy(text.begin(), text.end(), bytes.begin() + static_cast<long>(at));
        return bytes;
    };
    auto cut = [](const std::vector<uint8_t>& bytes, size_t size) {
        return std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(size));
    };
    std::vector<uint8_t> extra = dst;
    extra.insert(extra.end(), {0, 0});
    const struct {
        const char* format;
        std::vector<uint8_t> bytes;
        const char* error;
    } cases[] = {
        {"DST", cut(dst, 300), "offset 300: the file ends inside the 512-byte header"},
        {"DST", cut(dst, 516), "offset 515: a truncated record of 1 byte"},
        {"DST", cut(dst, 521), "offset 521: the records end without the end record"},
        {"DST", extra, "offset 524: 2 bytes follow the end record"},
        {"DST", patched(dst, 23, "      9"),
         "offset 20: the header's ST: says 9 but the records give 3"},
        {"DST", patched(dst, 34, "  0"), "offset 31: the header's CO: says 0"},
        {"DST", patched(dst, 41, "   21"), "offset 38: the header's +X: says 21"},
        {"DST", patched(dst, 77, "-"), "offset 74: the header's AX: says -20"},
        {"DST", patched(dst, 56, "+Z:"), "offset 56: the header has no +Y: field"},
        {"DST", patched(dst, 514, "\x43"), "offset 512: an unknown record (third byte 0x43)"},
        {"DST", patched(dst, 512, "\x03"), "offset 512: a record moves both +1 and -1 on x"},
        {"EXP", {5, 5, 0x80}, "offset 2: an odd byte at the end"},
        {"EXP", {5, 5, 0x80, 0x01, 3}, "offset 2: a command cut off before its displacement"},
        {"EXP", {0x80, 0x08, 1, 1}, "offset 0: an unknown command 80 08"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.error);
        Design read;
        std::string error;
        std::unique_ptr<uint8_t[]> exact(new uint8_t[c.bytes.size()]);
        std::copy(c.bytes.begin(), c.bytes.end(), exact.get());
        const bool ok = std::string(c.format) == "DST"
                            ? formats::ReadDst(exact.get(), c.bytes.size(), read, error)
                            : formats::ReadExp(exact.get(), c.bytes.size(), read, error);
        EXPECT_FALSE(ok);
        EXPECT_EQ(error.substr(0, std::strlen(c.error)), c.error) << error;
    }
}

// 80 02 and 80 04 are jumps with their displacement; 80 01 moves as it changes colour.
TEST(Interchange, ExpCommandsMoveAsTheySay) {
    const std::vector<uint8_t> exp = {3,    4, 0x80, 0x02, 10, 0xF6, 0x80, 0x04, 1, 1,
                                      0x80, 1, 5,    5,    0,  0x81, 0x80, 0x80, 2, 0};
    const Design d = Read(exp, "EXP");
    const std::vector<std::vector<long long>> want = {{0, 3, 4},  {1, 13, -6},   {1, 14, -5},
                                                      {2, 19, 0}, {0, 19, -127}, {1, 21, -127}};
    ASSERT_EQ(d.steps.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i)
        EXPECT_EQ((std::vector<long long>{static_cast<long long>(d.steps[i].move), d.steps[i].x,
                                          d.steps[i].y}),
                  want[i]);
}

} // namespace
