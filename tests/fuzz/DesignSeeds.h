// Seeds for the design-file fuzz targets: sample designs of every shape the sample writer makes,
// and hand-made designs at the edges of the format. Each seed names the offsets of its counts,
// lengths and offsets (header, trailer directory, record counts, block indices), which the
// driver overwrites with interesting values.
#pragma once

#include "stdafx.h"
#include "design/KstFormat.h"
#include "fuzz/FuzzDriver.h"
#include "host/DesignSample.h"

#include <cstring>
#include <string>
#include <vector>

namespace fuzzdesign {

using host::AddCommand;
using host::AddStitch;

inline LONG GetLong(const uint8_t* p) {
    LONG value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

// The header's counts and offsets, and every offset of the 64 bytes from `behind`: a plain
// design's trailer directory, an extended design's record count and first block indices.
inline std::vector<size_t> Fields(const std::vector<BYTE>& bytes, size_t behind) {
    std::vector<size_t> fields = {0, 4, 24, 28, 32};
    for (size_t at = behind; at + 4 <= bytes.size() && at < behind + 64; ++at)
        fields.push_back(at);
    return fields;
}

// The sample writer stamps the current time; a fixed one keeps the inputs the same from run to
// run.
inline fuzz::Seed Seed(const std::string& name, std::vector<BYTE> bytes, bool extended = false,
                       bool mutate = true) {
    if (bytes.size() < KST_HEADER_SIZE)
        return {name, bytes, {}, mutate};
    std::memcpy(bytes.data() + 8, "20240229235959", 14);
    tagKstHeader header;
    std::memcpy(&header, bytes.data(), sizeof header);
    const size_t behind = extended ? KST_HEADER_SIZE + 8 * static_cast<size_t>(header.nColors)
                                   : KstTrailerOffset(&header);
    return {name, bytes, Fields(bytes, behind), mutate};
}

inline std::vector<BYTE> Sample(bool extended, int colours, int units, int records, LONG hoop) {
    host::DesignSampleOptions options;
    options.extended = extended;
    options.colours = colours;
    options.units = units;
    options.blockRecords = records;
    options.hoop = hoop;
    host::DesignSample sample;
    FUZZ_REQUIRE(host::BuildDesignSample(options, sample).empty(), "a seed sample can be built");
    return sample.bytes;
}

inline host::DesignParts Parts(const std::vector<LONG>& colours, const std::vector<BYTE>& units) {
    host::DesignParts parts;
    parts.hoop = 2;
    parts.colourTable = colours;
    parts.typeTable.assign(colours.size(), 6);
    parts.units = units;
    return parts;
}

inline tagKstBlockRecord Record(LONG block) {
    return {block, {1000, 1001, 1002, 1003, 1004, 1005, 1006, 1007, 1008, 1009}};
}

// `blocks` colour blocks of `stitches` stitches each, joined by colour changes, then the end
// code.
inline std::vector<BYTE> BlockUnits(int blocks, int stitches) {
    std::vector<BYTE> units;
    for (int b = 0; b < blocks; ++b) {
        if (b > 0)
            AddCommand(units, KST_COLOR_CHANGE, 5, -5);
        for (int s = 0; s < stitches; ++s)
            AddStitch(units, (s % 2) ? 7 : -7, 3);
    }
    AddCommand(units, KST_END);
    return units;
}

// A plain design whose stitch data starts at `offset` instead of right after the two tables:
// the bytes between the header and the stitch data are 0xFF.
inline std::vector<BYTE> Relocated(const host::DesignParts& parts, DWORD offset) {
    const std::vector<BYTE> plain = host::WritePlainDesign(parts);
    std::vector<BYTE> bytes(plain.begin(), plain.begin() + KST_HEADER_SIZE);
    bytes.resize(offset, 0xFF);
    bytes.insert(bytes.end(), plain.begin() + GetLong(plain.data()), plain.end());
    std::memcpy(bytes.data(), &offset, 4);
    return bytes;
}

// Valid plain designs: the sample writer's shapes, and designs at the edges of the format.
inline std::vector<fuzz::Seed> PlainSeeds() {
    std::vector<fuzz::Seed> seeds = {
        Seed("sample 4 colours", Sample(false, 4, 0, -1, 1)),
        Seed("sample 3 colours, odd units", Sample(false, 3, 301, 2, 1)),
        Seed("sample 12 colours, no records", Sample(false, 12, 0, 0, 1)),
        Seed("sample large hoop", Sample(false, 6, 0, -1, KST_HOOP_LARGE)),
        Seed("sample 78 colours", Sample(false, 78, 2400, 78, 1)),
        Seed("sample at the upper bounds", Sample(false, KST_MAX_COLORS, KST_MAX_UNITS, 5, 1),
             false, false),
        Seed("end code only", host::WritePlainDesign(Parts({5}, BlockUnits(1, 0)))),
        Seed("one stitch", host::WritePlainDesign(Parts({5}, BlockUnits(1, 1))))};
    std::vector<BYTE> units = BlockUnits(2, 3);
    units.resize(units.size() - 2);
    seeds.push_back(Seed("no end code", host::WritePlainDesign(Parts({5, 6}, units))));

    // Every command: jumps whose displacements look like commands, the alternative codes and
    // unknown commands.
    units.clear();
    AddStitch(units, 1, 1);
    AddCommand(units, KST_JUMP, 0x80, KST_COLOR_CHANGE);
    AddCommand(units, KST_JUMP_ALT, 0x80, KST_END);
    AddCommand(units, KST_COLOR_CHANGE_ALT);
    AddCommand(units, 0x55);
    AddCommand(units, KST_COLOR_CHANGE, 0x80, KST_JUMP);
    AddCommand(units, KST_JUMP, 0x80, KST_COLOR_CHANGE);
    AddStitch(units, -128, 127);
    AddCommand(units, KST_COLOR_CHANGE, -100, 100);
    AddStitch(units, 2, 2);
    AddCommand(units, KST_END);
    seeds.push_back(Seed("every command", host::WritePlainDesign(Parts({1, 2, 3}, units))));

    // Unassigned (-1) colour entries, which the division passes over into the type table.
    host::DesignParts parts = Parts({-1, 3, -1, -1}, BlockUnits(4, 2));
    parts.typeTable = {-1, -1, 9, -1};
    seeds.push_back(Seed("unassigned colours", host::WritePlainDesign(parts)));

    // A trailer of several sections: two block-record sections, records outside the blocks,
    // the large-hoop halves, an unknown type and an empty section; and an empty trailer.
    parts = Parts({1, 2, 3}, BlockUnits(3, 5));
    std::vector<BYTE> bytes = host::WritePlainDesign(parts);
    const std::vector<BYTE> half = Sample(false, 1, 20, 0, KST_HOOP_HALF);
    host::AppendTrailer(bytes,
                        {{KST_SECTION_BLOCKS, host::RecordBlock({Record(0), Record(2), Record(-1),
                                                                 Record(3), Record(0x7FFFFFFF)})},
                         {KST_SECTION_HALF1, half},
                         {KST_SECTION_HALF2, half},
                         {7, {1, 2, 3}},
                         {KST_SECTION_BLOCKS, host::RecordBlock({Record(1), Record(1)})},
                         {KST_SECTION_BLOCKS, {}}});
    seeds.push_back(Seed("six sections", bytes));
    bytes = host::WritePlainDesign(parts);
    host::AppendTrailer(bytes, {});
    seeds.push_back(Seed("empty trailer", bytes));

    // Stitch data overlapping the tables (any offset above 116 is allowed), with unassigned
    // colour entries running into it, and unit padding that the trailer follows.
    parts = Parts({-1, -1}, BlockUnits(2, 9));
    parts.records = {Record(0), Record(1)};
    seeds.push_back(Seed("stitch data at 117", Relocated(parts, KST_HEADER_SIZE + 1)));
    units = BlockUnits(3, 1);
    units.insert(units.begin(), 40, 0xFF); // stitches that read as unassigned colour entries
    parts = Parts({-1, -1, -1}, units);
    parts.records = {Record(2)};
    seeds.push_back(Seed("stitches read as colours", Relocated(parts, KST_HEADER_SIZE + 4)));

    // A first block that takes the needle far from the origin, so that the part starting with
    // the second block begins with a long run of jumps: at the unit limit, and a small one.
    for (int stitches : {KST_MAX_UNITS - 4, 300}) {
        units.clear();
        for (int s = 0; s < stitches; ++s)
            AddStitch(units, 127, s % 2 ? -127 : 127);
        AddCommand(units, KST_COLOR_CHANGE, 0, 0);
        AddCommand(units, KST_END);
        seeds.push_back(Seed("needle far out, " + std::to_string(stitches) + " stitches",
                             host::WritePlainDesign(Parts({4, 5}, units)), false, stitches < 1000));
    }
    return seeds;
}

// Valid extended designs: samples for the ordinary and the large two-position hoop, and
// large-hoop designs whose division point lies where the halves are hard to cut.
inline std::vector<fuzz::Seed> ExtendedSeeds() {
    std::vector<fuzz::Seed> seeds = {
        Seed("extended 4 colours", Sample(true, 4, 0, -1, 1), true),
        Seed("extended no records", Sample(true, 3, 301, 0, 2), true),
        Seed("large hoop", Sample(true, 6, 0, -1, KST_HOOP_LARGE), true),
        Seed("large hoop, one colour", Sample(true, 1, 0, 0, KST_HOOP_LARGE), true),
        Seed("large hoop, 78 colours", Sample(true, 78, 2400, 78, KST_HOOP_LARGE), true)};

    // Division points at the edges: none, the jump command itself, inside a run of stitches,
    // the last unit, past the last unit, negative.
    host::DesignParts parts = Parts({1, 2, 3}, {});
    parts.hoop = KST_HOOP_LARGE;
    parts.records = {Record(0), Record(1), Record(2), Record(2)};
    AddStitch(parts.units, 1, 1);
    AddCommand(parts.units, KST_JUMP, 0, 100);
    AddStitch(parts.units, 3, 3);
    AddCommand(parts.units, KST_COLOR_CHANGE, 1, -1);
    AddStitch(parts.units, 3, 3);
    AddStitch(parts.units, 3, 3);
    AddCommand(parts.units, KST_JUMP, 0, -127);
    AddCommand(parts.units, KST_JUMP_ALT, 0, -127);
    AddCommand(parts.units, KST_COLOR_CHANGE_ALT);
    AddStitch(parts.units, -3, -3);
    AddCommand(parts.units, 0x55);
    AddStitch(parts.units, -3, -3);
    AddCommand(parts.units, KST_END);
    const LONG units = static_cast<LONG>(parts.units.size() / 2);
    for (LONG point : {0, 1, 2, 4, 8, 9, units - 1, units, 0x7FFFFFFF, -1}) {
        parts.divisionPoint = point;
        seeds.push_back(Seed("division point " + std::to_string(point),
                             host::WriteExtendedDesign(parts), true));
    }
    return seeds;
}

// `seeds` and inputs that are no design at all: nothing, a header alone, a header with tables.
inline std::vector<fuzz::Seed> WithBrokenSeeds(std::vector<fuzz::Seed> seeds) {
    const std::vector<BYTE> one = host::WritePlainDesign(Parts({5}, BlockUnits(1, 1)));
    seeds.push_back({"empty", {}, {}});
    for (size_t cut : {size_t{KST_HEADER_SIZE}, size_t(KST_HEADER_SIZE + 8)})
        seeds.push_back(Seed("cut at " + std::to_string(cut), {one.begin(), one.begin() + cut}));
    return seeds;
}

// Runs this program's target over the seeds and their mutations, with the byte and field values
// that mean something in a design: the command codes, the colour and block-record limit and one
// past it, the unit limit and one past it. Returns the number of inputs.
inline long RunTarget(const char* target, const std::vector<fuzz::Seed>& seeds, long iterations) {
    fuzz::Options options;
    options.target = target;
    options.iterations = iterations;
    options.bytes = {KST_COLOR_CHANGE, KST_JUMP, KST_COLOR_CHANGE_ALT, KST_JUMP_ALT, KST_END};
    options.values = {KST_HEADER_SIZE, KST_HEADER_SIZE + 1, KST_MAX_COLORS,      KST_MAX_COLORS + 1,
                      KST_MAX_UNITS,   KST_MAX_UNITS + 1,   KST_WORK_BUFFER_SIZE};
    return fuzz::Run(seeds, options);
}

} // namespace fuzzdesign
