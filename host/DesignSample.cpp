#include "host/DesignSample.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace host {

namespace {

const int kSquareSide = 96; // side of one filled square
const int kPitch = 120;     // distance between neighbouring squares
const int kFillStep = 12;   // stitch length along a row
const int kRowStep = 6;     // distance between rows
const int kLargeHoopCentre = 400;

void AppendBytes(std::vector<BYTE>& out, const void* data, size_t size) {
    const BYTE* p = static_cast<const BYTE*>(data);
    out.insert(out.end(), p, p + size);
}

void AppendLong(std::vector<BYTE>& out, LONG value) {
    AppendBytes(out, &value, sizeof(value));
}

tagKstHeader MakeHeader(const DesignParts& parts, DWORD stitchOffset) {
    tagKstHeader header;
    std::memset(&header, 0, sizeof(header));
    header.dwStitchOffset = stitchOffset;
    header.dwFlags = KST_FLAGS_PLAIN;
    char text[16];
    KstFormatDateTime(text);
    std::memcpy(header.szDateTime, text, sizeof(header.szDateTime));
    header.nColors = static_cast<LONG>(parts.colourTable.size());
    header.nUnits = static_cast<LONG>(parts.units.size() / 2);
    header.nHoop = parts.hoop;
    LONG extents[4];
    UnitExtents(parts.units, extents);
    KstSetExtents(&header, extents[0], extents[1], extents[2], extents[3]);
    return header;
}

void AppendTables(std::vector<BYTE>& out, const DesignParts& parts) {
    for (LONG colour : parts.colourTable)
        AppendLong(out, colour);
    for (size_t i = 0; i < parts.colourTable.size(); ++i)
        AppendLong(out, i < parts.typeTable.size() ? parts.typeTable[i] : 0);
}

// The needle of the generator, in the downward vertical axis.
struct Needle {
    std::vector<BYTE>& units;
    int x = 0;
    int y = 0;

    void Stitch(int dx, int dyDown) {
        AddStitch(units, dx, -dyDown);
        x += dx;
        y += dyDown;
    }
    // Jumps of at most 127 on each axis; returns the index of the first jump's displacement.
    int JumpTo(int tx, int ty) {
        int first = -1;
        while (x != tx || y != ty) {
            const int dx = std::clamp(tx - x, -127, 127);
            const int dy = std::clamp(ty - y, -127, 127);
            if (first < 0)
                first = static_cast<int>(units.size() / 2) + 1;
            AddCommand(units, KST_JUMP, dx, -dy);
            x += dx;
            y += dy;
        }
        return first;
    }
};

// Fills a square row by row, back and forth, and turns back at its top and bottom edges, so
// that any number of stitches stays inside the square.
void FillSquare(Needle& needle, int stitches) {
    int px = 0, py = 0, xdir = 1, ydir = 1;
    for (int i = 0; i < stitches; ++i) {
        const int nx = px + kFillStep * xdir;
        if (nx >= 0 && nx <= kSquareSide) {
            needle.Stitch(kFillStep * xdir, 0);
            px = nx;
            continue;
        }
        if (py + kRowStep * ydir < 0 || py + kRowStep * ydir > kSquareSide)
            ydir = -ydir;
        needle.Stitch(0, kRowStep * ydir);
        py += kRowStep * ydir;
        xdir = -xdir;
    }
}

// Top-left corners of `count` squares in a grid centred on (cx, cy).
std::vector<std::pair<int, int>> GridCorners(int count, int cx, int cy) {
    const int cols = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(count))));
    const int rows = (count + cols - 1) / cols;
    const int width = cols * kPitch - (kPitch - kSquareSide);
    const int height = rows * kPitch - (kPitch - kSquareSide);
    std::vector<std::pair<int, int>> corners;
    for (int i = 0; i < count; ++i)
        corners.emplace_back(cx - width / 2 + (i % cols) * kPitch,
                             cy - height / 2 + (i / cols) * kPitch);
    return corners;
}

struct Square {
    int block;
    int x, y;
};

// Lays the squares out: a grid around the origin, or for the large hoop an upper grid around
// (0, -400) and a lower grid around (0, +400), the block in progress at the join continuing
// in the lower grid. `join` receives the index of the first lower square.
std::vector<Square> LayOut(int colours, bool largeHoop, size_t& join) {
    std::vector<Square> squares;
    join = 0;
    if (!largeHoop) {
        auto corners = GridCorners(colours, 0, 0);
        for (int b = 0; b < colours; ++b)
            squares.push_back({b, corners[b].first, corners[b].second});
        return squares;
    }
    const int upper = (colours + 1) / 2;
    auto top = GridCorners(upper, 0, -kLargeHoopCentre);
    for (int b = 0; b < upper; ++b)
        squares.push_back({b, top[b].first, top[b].second});
    join = squares.size();
    auto bottom = GridCorners(colours - upper + 1, 0, kLargeHoopCentre);
    for (int b = upper - 1; b < colours; ++b)
        squares.push_back({b, bottom[b - upper + 1].first, bottom[b - upper + 1].second});
    return squares;
}

// Writes the stitch data with `share` stitches in every square but the last, which takes what
// is left of `total` units. Returns the last square's stitches (below 1: too few units).
long long WriteUnits(const std::vector<Square>& squares, size_t join, int share, int total,
                     std::vector<BYTE>& units, int& divisionPoint) {
    units.clear();
    Needle needle{units};
    divisionPoint = 0;
    for (size_t i = 0; i < squares.size(); ++i) {
        if (i > 0 && squares[i].block != squares[i - 1].block)
            AddCommand(units, KST_COLOR_CHANGE, 0, 0);
        const int first = needle.JumpTo(squares[i].x, squares[i].y);
        if (join != 0 && i == join)
            divisionPoint = first;
        if (i + 1 == squares.size()) {
            const long long left = static_cast<long long>(total) - 1 - (long long)units.size() / 2;
            if (left >= 1)
                FillSquare(needle, static_cast<int>(left));
            AddCommand(units, KST_END);
            return left;
        }
        FillSquare(needle, share);
    }
    return 0;
}

} // namespace

void AddStitch(std::vector<BYTE>& units, int dx, int dy) {
    units.push_back(static_cast<BYTE>(dx & 0xFF));
    units.push_back(static_cast<BYTE>(dy & 0xFF));
}

void AddCommand(std::vector<BYTE>& units, BYTE code) {
    units.push_back(KST_COMMAND);
    units.push_back(code);
}

void AddCommand(std::vector<BYTE>& units, BYTE code, int dx, int dy) {
    AddCommand(units, code);
    AddStitch(units, dx, dy);
}

void UnitExtents(const std::vector<BYTE>& units, LONG extents[4]) {
    long long x = 0, y = 0, minX = 0, minY = 0, maxX = 0, maxY = 0;
    for (size_t i = 0; i + 1 < units.size(); i += 2) {
        bool widen = true;
        if (units[i] == KST_COMMAND) {
            const BYTE code = units[i + 1];
            if (code == KST_END)
                break;
            if (code != KST_COLOR_CHANGE && code != KST_JUMP && code != KST_JUMP_ALT)
                continue;
            i += 2;
            if (i + 1 >= units.size())
                break;
            widen = false;
        }
        x += static_cast<signed char>(units[i]);
        y -= static_cast<signed char>(units[i + 1]);
        if (widen) {
            minX = std::min(minX, x);
            maxX = std::max(maxX, x);
            minY = std::min(minY, y);
            maxY = std::max(maxY, y);
        }
    }
    extents[0] = static_cast<LONG>(-minX);
    extents[1] = static_cast<LONG>(-minY);
    extents[2] = static_cast<LONG>(maxX);
    extents[3] = static_cast<LONG>(maxY);
}

std::vector<BYTE> RecordBlock(const std::vector<tagKstBlockRecord>& records) {
    std::vector<BYTE> out;
    AppendLong(out, static_cast<LONG>(records.size()));
    for (const tagKstBlockRecord& record : records)
        AppendBytes(out, &record, sizeof(record));
    return out;
}

void AppendTrailer(std::vector<BYTE>& design, const std::vector<TrailerSection>& sections) {
    AppendBytes(design, KST_TRAILER_TAG, KST_TRAILER_TAG_SIZE);
    design.push_back(static_cast<BYTE>(sections.size()));
    for (const TrailerSection& section : sections) {
        AppendLong(design, section.type);
        AppendLong(design, static_cast<LONG>(section.body.size()));
    }
    for (const TrailerSection& section : sections)
        design.insert(design.end(), section.body.begin(), section.body.end());
}

std::vector<BYTE> WritePlainDesign(const DesignParts& parts) {
    const DWORD offset = KST_HEADER_SIZE + 8 * static_cast<DWORD>(parts.colourTable.size());
    const tagKstHeader header = MakeHeader(parts, offset);
    std::vector<BYTE> out;
    AppendBytes(out, &header, sizeof(header));
    AppendTables(out, parts);
    AppendBytes(out, parts.units.data(), parts.units.size());
    if ((parts.units.size() / 2) % 2 == 1)
        out.insert(out.end(), 2, 0);
    if (!parts.records.empty())
        AppendTrailer(out, {{KST_SECTION_BLOCKS, RecordBlock(parts.records)}});
    return out;
}

std::vector<BYTE> WriteExtendedDesign(const DesignParts& parts) {
    const DWORD offset = KST_HEADER_SIZE + 8 * static_cast<DWORD>(parts.colourTable.size()) + 8 +
                         KST_BLOCK_RECORD_SIZE * static_cast<DWORD>(parts.records.size());
    const tagKstHeader header = MakeHeader(parts, offset);
    std::vector<BYTE> out;
    AppendBytes(out, &header, sizeof(header));
    AppendTables(out, parts);
    const std::vector<BYTE> records = RecordBlock(parts.records);
    out.insert(out.end(), records.begin(), records.end());
    AppendLong(out, parts.divisionPoint);
    AppendBytes(out, parts.units.data(), parts.units.size());
    return out;
}

std::string BuildDesignSample(const DesignSampleOptions& options, DesignSample& sample) {
    if (options.colours < 1 || options.colours > KST_MAX_COLORS)
        return "the colour count must lie from 1 to " + std::to_string(KST_MAX_COLORS);
    if (options.units < 0 || options.units > KST_MAX_UNITS)
        return "the unit count must lie from 1 to " + std::to_string(KST_MAX_UNITS);
    if (options.blockRecords < -1 || options.blockRecords > KST_MAX_BLOCK_RECORDS)
        return "the block-record count must lie from 0 to " + std::to_string(KST_MAX_BLOCK_RECORDS);

    size_t join = 0;
    const std::vector<Square> squares =
        LayOut(options.colours, options.hoop == KST_HOOP_LARGE, join);
    const int total = options.units != 0 ? options.units : 150 * static_cast<int>(squares.size());

    DesignParts& parts = sample.parts;
    parts = DesignParts();
    parts.hoop = options.hoop;
    // Room for the colour changes, the jumps and the end code first, the rest shared out.
    const int overhead = 12 * static_cast<int>(squares.size()) + 2 * options.colours + 1;
    const int share = std::max(1, (total - overhead) / static_cast<int>(squares.size()));
    int divisionPoint = 0;
    long long left = WriteUnits(squares, join, share, total, parts.units, divisionPoint);
    if (left < 1 && share > 1)
        left = WriteUnits(squares, join, 1, total, parts.units, divisionPoint);
    if (left < 1)
        return "a sample of this layout needs at least " + std::to_string(total - left + 1) +
               " units";

    for (int b = 0; b < options.colours; ++b) {
        parts.colourTable.push_back(1 + (b * 7) % 64);
        parts.typeTable.push_back(b % 3);
    }
    const int records = options.blockRecords < 0 ? std::min(options.colours, KST_MAX_BLOCK_RECORDS)
                                                 : options.blockRecords;
    for (int r = 0; r < records; ++r) {
        tagKstBlockRecord record;
        record.nBlock = static_cast<LONG>(static_cast<long long>(r) * options.colours / records);
        for (int i = 0; i < 10; ++i)
            record.nData[i] = 100 * r + i;
        parts.records.push_back(record);
    }
    parts.divisionPoint = options.hoop == KST_HOOP_LARGE ? divisionPoint : 0;
    sample.divisionPoint = parts.divisionPoint;
    sample.bytes = options.extended ? WriteExtendedDesign(parts) : WritePlainDesign(parts);
    return std::string();
}

} // namespace host
