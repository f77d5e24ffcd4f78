#include "stdafx.h"
#include "formats/Exp.h"

#include <cstdio>

namespace formats {

namespace {

const uint8_t kCommand = 0x80;
const uint8_t kColourChange = 0x01;
const uint8_t kJump = 0x02;
const uint8_t kJumpAlt = 0x04;
const uint8_t kTrim = 0x80; // a trim on some machines, a jump here

} // namespace

bool ReadExp(const uint8_t* data, size_t size, Design& design, std::string& error) {
    design = Design();
    long long x = 0, y = 0;
    for (size_t at = 0; at < size;) {
        if (size - at < 2)
            return RefuseAt(error, at, "an odd byte at the end of the file");
        Move move = Move::Stitch;
        size_t unit = at;
        if (data[at] == kCommand) {
            const uint8_t code = data[at + 1];
            if (code != kColourChange && code != kJump && code != kJumpAlt && code != kTrim) {
                char text[64];
                std::snprintf(text, sizeof text, "an unknown command 80 %02X", code);
                return RefuseAt(error, at, text);
            }
            if (size - at < 4)
                return RefuseAt(error, at, "a command cut off before its displacement");
            move = code == kColourChange ? Move::ColourChange : Move::Jump;
            unit = at + 2;
        }
        x += static_cast<int8_t>(data[unit]);
        y += static_cast<int8_t>(data[unit + 1]);
        design.steps.push_back({move, x, y});
        at = unit + 2;
    }
    return true;
}

std::vector<uint8_t> WriteExp(const Design& design) {
    const std::vector<Piece> pieces = SplitMoves(design, kExpLimit);
    std::vector<uint8_t> out;
    out.reserve(4 * pieces.size());
    for (const Piece& piece : pieces) {
        if (piece.move != Move::Stitch) {
            out.push_back(kCommand);
            out.push_back(piece.move == Move::Jump ? kJumpAlt : kColourChange);
        }
        out.push_back(static_cast<uint8_t>(piece.dx & 0xFF));
        out.push_back(static_cast<uint8_t>(piece.dy & 0xFF));
    }
    return out;
}

} // namespace formats
