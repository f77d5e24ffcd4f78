// Builders and readers shared by the conversion tests: byte-exact extended designs, a reader
// of plain designs and of the large-hoop halves in their trailer, and a needle walker.
#pragma once

#include "stdafx.h"
#include "design/Convert.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace convtest {

inline void Unit(std::vector<BYTE>& units, int a, int b) {
    units.push_back(static_cast<BYTE>(a));
    units.push_back(static_cast<BYTE>(b));
}
inline void Stitch(std::vector<BYTE>& units, int dx, int dy) {
    Unit(units, dx, dy);
}
inline void Jump(std::vector<BYTE>& units, int dx, int dy) {
    Unit(units, KST_COMMAND, KST_JUMP);
    Unit(units, dx, dy);
}
inline void ColourChange(std::vector<BYTE>& units, int dx, int dy) {
    Unit(units, KST_COMMAND, KST_COLOR_CHANGE);
    Unit(units, dx, dy);
}
inline void End(std::vector<BYTE>& units) {
    Unit(units, KST_COMMAND, KST_END);
}

inline tagKstBlockRecord Record(LONG block, LONG tag) {
    tagKstBlockRecord record;
    record.nBlock = block;
    for (int i = 0; i < 10; ++i)
        record.nData[i] = tag * 100 + i;
    return record;
}

inline const char kInputDateTime[] = "19990101120000";

// An extended design, written byte for byte.
struct Extended {
    LONG hoop = 2;
    std::vector<LONG> colours{0x111};
    std::vector<LONG> types{7};
    std::vector<tagKstBlockRecord> records;
    LONG division = 0;
    std::vector<BYTE> units;
    DWORD gap = 0; // bytes between the division point and the stitch data

    std::vector<BYTE> Bytes() const {
        const size_t n = colours.size();
        const size_t m = records.size();
        tagKstHeader header;
        std::memset(&header, 0, sizeof header);
        header.dwStitchOffset = static_cast<DWORD>(124 + 8 * n + 44 * m + gap);
        header.dwFlags = 99;
        std::memcpy(header.szDateTime, kInputDateTime, 14);
        header.byDivideNo1 = 7;
        header.byDivideNo2 = 9;
        header.nColors = static_cast<LONG>(n);
        header.nUnits = static_cast<LONG>(units.size() / 2);
        header.nHoop = hoop;
        for (int i = 0; i < 4; ++i) {
            header.rcExtents[i] = 11 + i;
            header.rcMarginA[i] = 21 + i;
            header.rcMarginB[i] = 31 + i;
            header.rcMarginC[i] = 41 + i;
            header.rcMarginD[i] = 51 + i;
        }
        std::vector<BYTE> bytes(header.dwStitchOffset + units.size(), 0xEE);
        BYTE* p = bytes.data();
        auto put = [&p](const void* data, size_t size) {
            if (size > 0)
                std::memcpy(p, data, size);
            p += size;
        };
        const LONG count = static_cast<LONG>(m);
        put(&header, sizeof header);
        put(colours.data(), 4 * n);
        put(types.data(), 4 * n);
        put(&count, 4);
        put(records.data(), 44 * m);
        put(&division, 4);
        std::memcpy(bytes.data() + header.dwStitchOffset, units.data(), units.size());
        return bytes;
    }
};

// A large-hoop design of two parts. Positions (downward axis): unit 0 (10, -10), 1 (20, -10),
// 2 (20, 10), the jump 3 (command) and 4 (displacement) to (20, 110), 5 (25, 110),
// 6 (25, 115), end code 7.
inline Extended TwoPartDesign(LONG division) {
    Extended design;
    design.hoop = KST_HOOP_LARGE;
    design.division = division;
    Stitch(design.units, 10, 10);
    Stitch(design.units, 10, 0);
    Stitch(design.units, 0, -20);
    Jump(design.units, 0, -100);
    Stitch(design.units, 5, 0);
    Stitch(design.units, 0, -5);
    End(design.units);
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

// Reads little-endian values and byte runs; a read past the end yields zeros and is noted.
class Reader {
public:
    Reader(const std::vector<BYTE>& bytes, size_t offset) : m_bytes(bytes), m_offset(offset) {}
    bool Overrun() const { return m_overrun; }
    size_t Offset() const { return m_offset; }
    std::vector<BYTE> Take(size_t size) {
        if (m_offset + size > m_bytes.size()) {
            m_overrun = true;
            m_offset = m_bytes.size();
            return std::vector<BYTE>(size, 0);
        }
        std::vector<BYTE> run(m_bytes.begin() + m_offset, m_bytes.begin() + m_offset + size);
        m_offset += size;
        return run;
    }
    LONG Long() {
        LONG value;
        std::memcpy(&value, Take(4).data(), 4);
        return value;
    }
    template <typename T> T Record() {
        T value;
        std::memcpy(&value, Take(sizeof value).data(), sizeof value);
        return value;
    }
    std::vector<LONG> Longs(size_t count) {
        std::vector<LONG> values;
        for (size_t i = 0; i < count; ++i)
            values.push_back(Long());
        return values;
    }

private:
    const std::vector<BYTE>& m_bytes;
    size_t m_offset;
    bool m_overrun = false;
};

struct Section {
    LONG type;
    LONG size;
    std::vector<BYTE> body;
};

// A plain design as the conversion writes it.
struct Plain {
    tagKstHeader header{};
    std::vector<LONG> colours, types;
    std::vector<BYTE> units;
    std::vector<BYTE> padding;
    int sectionCount = 0; // 0 when there is no trailer
    std::vector<Section> sections;
    bool consistent = false; // every part inside the bytes, and the bytes end after the last
};

inline Plain ReadPlain(const std::vector<BYTE>& bytes) {
    Plain plain;
    Reader reader(bytes, 0);
    plain.header = reader.Record<tagKstHeader>();
    const size_t n = plain.header.nColors > 0 ? plain.header.nColors : 0;
    const size_t u = plain.header.nUnits > 0 ? plain.header.nUnits : 0;
    plain.colours = reader.Longs(n);
    plain.types = reader.Longs(n);
    plain.units = reader.Take(2 * u);
    plain.padding = reader.Take(2 * (u % 2));
    if (reader.Offset() < bytes.size()) {
        std::vector<BYTE> tag = reader.Take(7);
        if (std::string(tag.begin(), tag.end()) != "ENHANCE")
            return plain;
        plain.sectionCount = reader.Take(1)[0];
        for (int i = 0; i < plain.sectionCount; ++i) {
            Section section;
            section.type = reader.Long();
            section.size = reader.Long();
            plain.sections.push_back(section);
        }
        for (Section& section : plain.sections)
            section.body = reader.Take(section.size > 0 ? section.size : 0);
    }
    plain.consistent = !reader.Overrun() && reader.Offset() == bytes.size();
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

// Reads consecutive halves from a trailer section body; false when they do not fill it exactly.
inline bool ReadHalves(const std::vector<BYTE>& body, std::vector<Half>& halves) {
    Reader reader(body, 0);
    while (reader.Offset() < body.size() && !reader.Overrun()) {
        const size_t start = reader.Offset();
        Half half;
        half.header = reader.Record<tagKstHeader>();
        const size_t k = half.header.nColors > 0 ? half.header.nColors : 0;
        const size_t u = half.header.nUnits > 0 ? half.header.nUnits : 0;
        half.colours = reader.Longs(k);
        half.types = reader.Longs(k);
        const LONG r = reader.Long();
        for (LONG i = 0; i < r && !reader.Overrun(); ++i)
            half.records.push_back(reader.Record<tagKstBlockRecord>());
        if (reader.Offset() != start + half.header.dwStitchOffset)
            return false;
        half.units = reader.Take(2 * u);
        if (u % 2 != 0 && reader.Take(2) != std::vector<BYTE>{0, 0})
            return false;
        half.bytes.assign(body.begin() + start, body.begin() + reader.Offset());
        halves.push_back(half);
    }
    return !reader.Overrun();
}

// The halves in the trailer of a converted design, in section order.
inline std::vector<Half> HalvesOf(const Plain& plain) {
    std::vector<Half> halves;
    for (const Section& section : plain.sections) {
        if (section.type != KST_SECTION_HALF1 && section.type != KST_SECTION_HALF2)
            continue;
        if (!ReadHalves(section.body, halves))
            return {};
    }
    return halves;
}

// Where the lead-in at the start of a half ends: the jumps and their displacements, then one
// stitch. Returns the number of bytes it takes and, in *landing, the needle position it
// reaches from `start` (downward vertical axis).
inline size_t LeadIn(const std::vector<BYTE>& units, POINT start, POINT* landing) {
    size_t i = 0;
    POINT at = start;
    while (i + 4 <= units.size() && units[i] == KST_COMMAND && units[i + 1] == KST_JUMP) {
        at.x += static_cast<signed char>(units[i + 2]);
        at.y -= static_cast<signed char>(units[i + 3]);
        i += 4;
    }
    if (i + 2 <= units.size()) {
        at.x += static_cast<signed char>(units[i]);
        at.y -= static_cast<signed char>(units[i + 1]);
        i += 2;
    }
    *landing = at;
    return i;
}

inline std::vector<BYTE> After(const std::vector<BYTE>& units, size_t offset) {
    return std::vector<BYTE>(units.begin() + static_cast<long>(offset), units.end());
}

} // namespace convtest
