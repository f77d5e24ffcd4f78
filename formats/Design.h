// The design model that the other tools' formats and the previews share: the needle's way through
// a design as absolute positions, with what each move does. The machine's own format is read into
// it and written from it here as well, so that every conversion goes through one model.
//
// Positions are in 0.1 mm (the machine format's own unit), x to the right and y upward, starting
// at the origin (0, 0). Keeping absolute positions means that a move is re-split for another
// format's move limit from where it starts and where it ends, so rounding never accumulates.
#pragma once

#include "design/KstFormat.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace formats {

enum class Move : unsigned char {
    Stitch,      // sews from the previous position to this one
    Jump,        // moves there without sewing
    ColourChange // the colour block ends; the next one begins with a move to this position
};

struct Step {
    Move move;
    long long x;
    long long y;
};

struct Design {
    std::string label;       // the design's name where the format carries one
    std::vector<Step> steps; // in sewing order; the design ends after the last
};

// Distances from the origin to the outermost positions, each 0 or more (the origin counts as a
// position, so that a side the design does not reach has 0).
struct Extents {
    long long left = 0;
    long long top = 0; // upward
    long long right = 0;
    long long bottom = 0; // downward
};

// The machine format's extents: stitch positions only (a move does not widen them).
Extents StitchExtents(const Design& design);
// Every position the needle reaches, moves included (the DST header's rule).
Extents NeedleExtents(const Design& design);

// Colour blocks: colour changes + 1.
int BlockCount(const Design& design);

// Sets `error` to "offset N: what" and returns false: how the readers refuse their input.
bool RefuseAt(std::string& error, size_t offset, const std::string& what);

// One piece of a move, at most the format's limit on either axis.
struct Piece {
    Move move;
    int dx;
    int dy;
};

// The design as pieces of at most `limit` on each axis. A longer move is cut into equal steps
// computed from its start and end positions; a long stitch becomes several stitches, a long jump
// several jumps, and a long colour change moves its first piece and jumps the rest.
std::vector<Piece> SplitMoves(const Design& design, int limit);

// Reads the stitch data of a plain design (its bytes checked with the structural check against
// `size`). Unknown command units are passed over as one unit, as every reader of the format does.
// False with the reason in `error` when the design is not well formed.
bool ReadKst(const uint8_t* data, size_t size, Design& design, std::string& error);

// A plain design: header (stitch-data offset, flags 20, the current date-time text, colour count
// = blocks, unit count with the end code, `hoop`, extents and the margins derived from them),
// colour table entry i = i + 1 (the other formats carry no thread codes, so the blocks are
// numbered), type table 0, the stitch data and its padding. No limit is applied here.
std::vector<uint8_t> WriteKst(const Design& design, LONG hoop);

// The unit count and the colour count that WriteKst would write.
long KstUnitCount(const Design& design);

} // namespace formats
