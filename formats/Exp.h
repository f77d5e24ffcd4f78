// Melco EXP: no header, two-byte units of signed dx and dy (-127 to 127); 80 01 is a colour
// change, 80 02, 80 04 and 80 80 are jumps, each followed by its displacement.
#pragma once

#include "formats/Design.h"

namespace formats {

const int kExpLimit = 127;

// Reads an EXP file. Nothing outside the `size` bytes is read. An odd byte at the end, a command
// without its displacement or an unknown command gives false, with the reason and the byte offset
// where it lies in `error`.
bool ReadExp(const uint8_t* data, size_t size, Design& design, std::string& error);

// Writes a design as EXP: stitches as units, jumps as 80 04 (80 02 is read as a stitch by some
// readers), colour changes as 80 01, moves longer than 127 split into equal steps.
std::vector<uint8_t> WriteExp(const Design& design);

} // namespace formats
