// Sample designs for the demo and the tests: a writer for plain and extended design files
// from their parts, and a generator of recognisable sample designs (a grid of filled squares,
// one colour block each, reached by jumps and separated by colour changes).
#pragma once

#include "design/KstFormat.h"

#include <string>
#include <vector>

namespace host {

// The parts of a design file. The header's counts come from the vectors: colour count =
// colourTable.size(), unit count = units.size() / 2.
struct DesignParts {
    LONG hoop = 1;
    std::vector<LONG> colourTable;
    std::vector<LONG> typeTable; // as many entries as colourTable
    std::vector<BYTE> units;     // stitch data, two bytes per unit
    std::vector<tagKstBlockRecord> records;
    LONG divisionPoint = 0; // extended form only
};

// Appends one stitch unit, a command unit, or a command with its displacement unit.
void AddStitch(std::vector<BYTE>& units, int dx, int dy);
void AddCommand(std::vector<BYTE>& units, BYTE code);
void AddCommand(std::vector<BYTE>& units, BYTE code, int dx, int dy);

// The extents (left, top, right, bottom) of a run of units: the farthest stitch positions from
// the origin, the origin included. Commands' displacements move the needle but do not widen
// the extents.
void UnitExtents(const std::vector<BYTE>& units, LONG extents[4]);

// A block-record block: the record count, then the records.
std::vector<BYTE> RecordBlock(const std::vector<tagKstBlockRecord>& records);

// Appends an "ENHANCE" trailer: the tag, the section count, the directory (type, body size) and
// the bodies in order.
struct TrailerSection {
    LONG type;
    std::vector<BYTE> body;
};
void AppendTrailer(std::vector<BYTE>& design, const std::vector<TrailerSection>& sections);

// A plain design: header (stitch-data offset 116 + 8n, flags 20, current date-time text,
// extents and margins of the units), the two tables, the stitch data, padding when the unit
// count is odd, and an "ENHANCE" trailer with one block-record section when there are records.
std::vector<BYTE> WritePlainDesign(const DesignParts& parts);

// An extended design: header (stitch-data offset 124 + 8n + 44m), the tables, the record
// count and records, the division point, then the stitch data.
std::vector<BYTE> WriteExtendedDesign(const DesignParts& parts);

struct DesignSampleOptions {
    bool extended = false;
    LONG hoop = 1;
    int colours = 4;       // 1 to 78
    int units = 0;         // exact unit count, end code included; 0 picks 150 per square
    int blockRecords = -1; // -1: one per colour block; otherwise 0 to 78, spread over the blocks
};

struct DesignSample {
    std::vector<BYTE> bytes;
    DesignParts parts;
    // Hoop 5: the upper part lies above the origin, the lower part below, joined by a run of
    // jumps; this is the index of the displacement unit of the run's first jump. Otherwise 0.
    int divisionPoint = 0;
};

// Builds a sample design; returns an empty string on success or the reason it cannot.
std::string BuildDesignSample(const DesignSampleOptions& options, DesignSample& sample);

} // namespace host
