// Builders and readers shared by the conversion tests: extended designs with a known header, a
// reader of plain designs and of the large-hoop halves in their trailer, and a needle walker.
#pragma once

#include "stdafx.h"
#include "design/Convert.h"
#include "host/DesignSample.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace convtest {

using host::AddCommand;
using host::AddStitch;

inline tagKstBlockRecord Record(LONG block, LONG tag) {
    tagKstBlockRecord record;
    record.nBlock = block;
    for (int i = 0; i < 10; ++i)
        record.nData[i] = tag * 100 + i;
    return record;
}

inline const char kInputDateTime[] = "19990101120000";

inline LONG LongAt(const std::vector<BYTE>& bytes, size_t offset) {
    LONG value;
    std::memcpy(&value, bytes.data() + offset, 4);
    return value;
}

inline void PutLong(std::vector<BYTE>& bytes, size_t offset, LONG value) {
    std::memcpy(bytes.data() + offset, &value, 4);
}

// An extended design with flags 99, a known date-time text, divide numbers 7 and 9, extents and
// margins 11-14, 21-24, ... 51-54, and `gap` bytes of 0xEE before its stitch data.
struct Extended : host::DesignParts {
    DWORD gap = 0;

    Extended() {
        hoop = 2;
        colourTable = {0x111};
        typeTable = {7};
    }
    std::vector<BYTE> Bytes() const {
        std::vector<BYTE> bytes = host::WriteExtendedDesign(*this);
        PutLong(bytes, 4, 99);
        std::memcpy(bytes.data() + 8, kInputDateTime, 14);
        bytes[22] = 7;
        bytes[23] = 9;
        for (int i = 0; i < 20; ++i)
            PutLong(bytes, 36 + 4 * i, 11 + 10 * (i / 4) + i % 4);
        const LONG offset = LongAt(bytes, 0);
        bytes.insert(bytes.begin() + offset, gap, 0xEE);
        PutLong(bytes, 0, offset + static_cast<LONG>(gap));
        return bytes;
    }
};

// A large-hoop design of two parts. Positions (downward axis): unit 0 (10, -10), 1 (20, -10),
// 2 (20, 10), the jump 3 (command) and 4 (displacement) to (20, 110), 5 (25, 110),
// 6 (25, 115), end code 7.
inline Extended TwoPartDesign(LONG division) {
    Extended design;
    design.hoop = KST_HOOP_LARGE;
    design.divisionPoint = division;
    AddStitch(design.units, 10, 10);
    AddStitch(design.units, 10, 0);
    AddStitch(design.units, 0, -20);
    AddCommand(design.units, KST_JUMP, 0, -100);
    AddStitch(design.units, 5, 0);
    AddStitch(design.units, 0, -5);
    AddCommand(design.units, KST_END);
    return design;
}

// Outcome of one PlusToKst call on a malloc copy of the input.
struct Conversion {
    bool ok = false;
    BYTE* slotAfter = nullptr; // the design slot after the call
    int length = -12345;       // the length slot after the call (preset to -12345)
    std::vector<BYTE> bytes;   // the output when ok
};

inline Conversion Convert(const std::vector<BYTE>& input) {
    Conversion result;
    BYTE* design = static_cast<BYTE*>(std::malloc(input.size()));
    std::memcpy(design, input.data(), input.size());
    CConvert convert;
    result.ok = convert.PlusToKst(&design, &result.length);
    result.slotAfter = design;
    if (result.ok)
        result.bytes.assign(design, design + result.length);
    std::free(design);
    return result;
}

struct Section {
    LONG type;
    LONG size;
    std::vector<BYTE> body;
};

// A plain design as the conversion writes it, its trailer read with the format's reader. One
// that is not well formed (a part without an end code) is read as far as its header reaches.
struct Plain {
    tagKstHeader header{};
    std::vector<LONG> colours, types;
    std::vector<BYTE> units;
    std::vector<BYTE> padding;
    int sectionCount = 0; // 0 when there is no trailer
    std::vector<Section> sections;
    bool consistent = false; // well formed, a readable trailer or none, nothing after the last part
};

inline Plain ReadPlain(const std::vector<BYTE>& bytes) {
    Plain plain;
    if (bytes.size() < KST_HEADER_SIZE)
        return plain;
    std::memcpy(&plain.header, bytes.data(), sizeof plain.header);
    const size_t n = plain.header.nColors, u = plain.header.nUnits;
    size_t end = plain.header.dwStitchOffset + 2 * (u + u % 2);
    if (n > bytes.size() || u > bytes.size() || KST_HEADER_SIZE + 8 * n > bytes.size() ||
        end > bytes.size())
        return plain;
    for (size_t i = 0; i < n; ++i) {
        plain.colours.push_back(LongAt(bytes, KST_HEADER_SIZE + 4 * i));
        plain.types.push_back(LongAt(bytes, KST_HEADER_SIZE + 4 * (n + i)));
    }
    const auto stitches = bytes.begin() + plain.header.dwStitchOffset;
    plain.units.assign(stitches, stitches + 2 * u);
    plain.padding.assign(stitches + 2 * u, stitches + 2 * (u + u % 2));
    KST_SECTION sections[8];
    const int count = KstReadTrailer(bytes.data(), bytes.size(), sections, 8);
    plain.sectionCount = count;
    for (int i = 0; i < count && i < 8; ++i) {
        const auto body = bytes.begin() + sections[i].dwOffset;
        plain.sections.push_back({sections[i].nType, sections[i].nSize,
                                  std::vector<BYTE>(body, body + sections[i].nSize)});
        end = sections[i].dwOffset + sections[i].nSize;
    }
    plain.consistent = KstCheckStructure(bytes.data(), bytes.size(), TRUE, nullptr) && count >= 0 &&
                       count <= 8 && end == bytes.size();
    return plain;
}

// One large-hoop half.
struct Half {
    tagKstHeader header{};
    std::vector<LONG> colours, types;
    std::vector<tagKstBlockRecord> records;
    std::vector<BYTE> units;
    std::vector<BYTE> bytes; // the whole half as stored
};

// The halves in the trailer of a converted design, in section order; none when they do not fill
// their sections exactly, each a header, its tables, its block records and its padded units.
inline std::vector<Half> HalvesOf(const Plain& plain) {
    std::vector<Half> halves;
    for (const Section& section : plain.sections) {
        if (section.type != KST_SECTION_HALF1 && section.type != KST_SECTION_HALF2)
            continue;
        for (size_t at = 0; at < section.body.size();) {
            Half half;
            const std::vector<BYTE> rest(section.body.begin() + at, section.body.end());
            if (rest.size() < KST_HEADER_SIZE)
                return {};
            std::memcpy(&half.header, rest.data(), sizeof half.header);
            const size_t k = half.header.nColors, u = half.header.nUnits;
            const size_t count = KST_HEADER_SIZE + 8 * k;
            if (count + 4 > rest.size())
                return {};
            const size_t r = LongAt(rest, count), offset = half.header.dwStitchOffset;
            const size_t length = offset + 2 * (u + u % 2);
            if (offset != count + 4 + KST_BLOCK_RECORD_SIZE * r || length > rest.size() ||
                (u % 2 != 0 && LongAt(rest, length - 4) >> 16 != 0))
                return {};
            for (size_t i = 0; i < k; ++i) {
                half.colours.push_back(LongAt(rest, KST_HEADER_SIZE + 4 * i));
                half.types.push_back(LongAt(rest, KST_HEADER_SIZE + 4 * (k + i)));
            }
            for (size_t i = 0; i < r; ++i) {
                half.records.emplace_back();
                std::memcpy(&half.records.back(), &rest[count + 4 + KST_BLOCK_RECORD_SIZE * i],
                            KST_BLOCK_RECORD_SIZE);
            }
            half.units.assign(rest.begin() + offset, rest.begin() + offset + 2 * u);
            half.bytes.assign(rest.begin(), rest.begin() + length);
            halves.push_back(half);
            at += length;
        }
    }
    return halves;
}

// Where the lead-in at the start of a half ends: the jumps and their displacements, then one
// stitch. Returns the number of bytes it takes and, in *landing, the needle position it
// reaches from `start` (downward vertical axis).
inline size_t LeadIn(const std::vector<BYTE>& units, POINT start, POINT* landing) {
    size_t i = 0;
    POINT at = start;
    while (i + 2 <= units.size()) {
        const bool jump = units[i] == KST_COMMAND && units[i + 1] == KST_JUMP;
        if (jump && i + 4 > units.size())
            break;
        i += jump ? 2 : 0;
        at.x += static_cast<signed char>(units[i]);
        at.y -= static_cast<signed char>(units[i + 1]);
        i += 2;
        if (!jump)
            break;
    }
    *landing = at;
    return i;
}

inline std::vector<BYTE> After(const std::vector<BYTE>& units, size_t offset) {
    return std::vector<BYTE>(units.begin() + static_cast<long>(offset), units.end());
}

} // namespace convtest
