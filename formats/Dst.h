// Tajima DST: a 512-byte text header and 3-byte records whose bits hold each axis move of
// -121 to 121 in balanced ternary, with jump and stop (colour change) flags and the end record
// 00 00 F3.
#pragma once

#include "formats/Design.h"

namespace formats {

const size_t kDstHeaderSize = 512;
const int kDstLimit = 121;       // the longest move of one record on either axis
const size_t kDstLabelSize = 16; // characters of the LA: field

// Reads a DST file. Nothing outside the `size` bytes is read. A truncated record, a header field
// that is missing, malformed or disagrees with the records (ST:, CO:, the four extents, AX:,
// AY:), an unknown record or anything but 0x1A after the end record gives false, with the reason
// and the byte offset where it lies in `error`.
bool ReadDst(const uint8_t* data, size_t size, Design& design, std::string& error);

// Writes a design as DST, moves longer than 121 split into equal steps. False with the reason in
// `error` when a header field cannot hold its value (more than 9999999 records, 999 colour
// changes, or an extent or end position beyond 99999).
bool WriteDst(const Design& design, std::vector<uint8_t>& out, std::string& error);

} // namespace formats
