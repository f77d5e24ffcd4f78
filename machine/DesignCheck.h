// The machine firmware's own check of a design it is asked to store: the header's stitch
// offset and counts, and a walk of the stitch units that must account for every unit and
// every colour change. It never reads outside the bytes it is given.
#pragma once

#include <cstddef>
#include <cstdint>

namespace machine {

constexpr size_t kDesignHeaderSize = 116;

// True when `data` holds a well-formed design: stitch offset above 116, at least one colour
// and one unit, the units present in full, the walk ending exactly at the unit count and the
// colour changes plus one equal to the colour count.
bool CheckDesignStructure(const uint8_t* data, size_t size);

// The header's extents (left + right, top + bottom), or 0 when the bytes are too short.
void DesignExtents(const uint8_t* data, size_t size, int32_t* width, int32_t* height);

} // namespace machine
