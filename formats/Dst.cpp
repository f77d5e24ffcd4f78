#include "stdafx.h"
#include "formats/Dst.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace formats {

namespace {

// One bit of a record: which byte, which bit, which axis (0 x, 1 y) and what it adds.
struct TernaryBit {
    int byte;
    int bit;
    int axis;
    int value;
};

const TernaryBit kBits[] = {
    {0, 0, 0, 1},  {0, 1, 0, -1},  {0, 2, 0, 9},   {0, 3, 0, -9},  {0, 4, 1, -9},
    {0, 5, 1, 9},  {0, 6, 1, -1},  {0, 7, 1, 1},   {1, 0, 0, 3},   {1, 1, 0, -3},
    {1, 2, 0, 27}, {1, 3, 0, -27}, {1, 4, 1, -27}, {1, 5, 1, 27},  {1, 6, 1, -3},
    {1, 7, 1, 3},  {2, 2, 0, 81},  {2, 3, 0, -81}, {2, 4, 1, -81}, {2, 5, 1, 81},
};

const uint8_t kStitchFlags = 0x03; // bits 0 and 1 of the third byte are always set
const uint8_t kJumpFlag = 0x80;
const uint8_t kStopFlags = 0xC0;
const uint8_t kEnd[3] = {0x00, 0x00, 0xF3};
const uint8_t kEndOfText = 0x1A;

// A header field: its two-letter label and colon at `offset`, then `width` characters and CR.
struct Field {
    size_t offset;
    const char* label;
    size_t width;
    bool sign; // the value begins with '+' or '-'
};

const Field kLabel = {0, "LA:", kDstLabelSize, false};
const Field kStitches = {20, "ST:", 7, false};
const Field kColours = {31, "CO:", 3, false};
const Field kExtents[4] = { // in the order of Extents: left, top, right, bottom
    {47, "-X:", 5, false},
    {56, "+Y:", 5, false},
    {38, "+X:", 5, false},
    {65, "-Y:", 5, false}};
const Field kEndX = {74, "AX:", 6, true};
const Field kEndY = {84, "AY:", 6, true};
const Field kPreviousX = {94, "MX:", 6, true};
const Field kPreviousY = {104, "MY:", 6, true};
const Field kPrevious = {114, "PD:", 6, false};
const size_t kEndOfTextAt = 124;

void PutField(std::vector<uint8_t>& header, const Field& field, const std::string& value) {
    std::memcpy(header.data() + field.offset, field.label, 3);
    std::memcpy(header.data() + field.offset + 3, value.data(), field.width);
    header[field.offset + 3 + field.width] = '\r';
}

std::string Number(const Field& field, long long value) {
    char text[32];
    if (field.sign)
        std::snprintf(text, sizeof text, "%c%*lld", value < 0 ? '-' : '+',
                      static_cast<int>(field.width - 1), value < 0 ? -value : value);
    else
        std::snprintf(text, sizeof text, "%*lld", static_cast<int>(field.width), value);
    return text;
}

// The label and CR of a field, and for a number its value (blanks, then digits; a sign first
// where the field has one).
bool ReadField(const uint8_t* header, const Field& field, long long* value, std::string& error) {
    const char* at = reinterpret_cast<const char*>(header + field.offset);
    if (std::memcmp(at, field.label, 3) != 0 || at[3 + field.width] != '\r')
        return RefuseAt(error, field.offset,
                        std::string("the header has no ") + field.label + " field ended by CR");
    if (value == nullptr)
        return true;
    size_t i = 3;
    long long sign = 1;
    if (field.sign) {
        if (at[i] != '+' && at[i] != '-' && at[i] != ' ')
            return RefuseAt(error, field.offset, std::string(field.label) + " has no sign");
        sign = at[i++] == '-' ? -1 : 1;
    }
    while (i < 3 + field.width && at[i] == ' ')
        ++i;
    if (i == 3 + field.width)
        return RefuseAt(error, field.offset, std::string(field.label) + " holds no number");
    *value = 0;
    for (; i < 3 + field.width; ++i) {
        if (at[i] < '0' || at[i] > '9')
            return RefuseAt(error, field.offset,
                            std::string(field.label) + " holds a character that is not a digit");
        *value = *value * 10 + (at[i] - '0');
    }
    *value *= sign;
    return true;
}

bool Agrees(const Field& field, long long said, long long found, const char* what,
            std::string& error) {
    if (said == found)
        return true;
    return RefuseAt(error, field.offset,
                    std::string("the header's ") + field.label + " says " + std::to_string(said) +
                        " but the records give " + std::to_string(found) + " (" + what + ")");
}

// Sets the bits of one axis move (-121 to 121) in balanced ternary.
void Encode(int axis, int value, uint8_t record[3]) {
    for (int power = 1; power <= 81; power *= 3) {
        int digit = ((value % 3) + 3) % 3;
        if (digit == 2)
            digit = -1;
        value = (value - digit) / 3;
        if (digit == 0)
            continue;
        for (const TernaryBit& bit : kBits)
            if (bit.axis == axis && bit.value == digit * power)
                record[bit.byte] |= static_cast<uint8_t>(1u << bit.bit);
    }
}

} // namespace

bool ReadDst(const uint8_t* data, size_t size, Design& design, std::string& error) {
    design = Design();
    if (size < kDstHeaderSize)
        return RefuseAt(error, size,
                        "the file ends inside the " + std::to_string(kDstHeaderSize) +
                            "-byte header");
    long long stitches = 0, colours = 0, extents[4] = {}, endX = 0, endY = 0, unused = 0;
    if (!ReadField(data, kLabel, nullptr, error) || !ReadField(data, kStitches, &stitches, error) ||
        !ReadField(data, kColours, &colours, error) || !ReadField(data, kEndX, &endX, error) ||
        !ReadField(data, kEndY, &endY, error) || !ReadField(data, kPreviousX, &unused, error) ||
        !ReadField(data, kPreviousY, &unused, error) || !ReadField(data, kPrevious, nullptr, error))
        return false;
    for (int i = 0; i < 4; ++i)
        if (!ReadField(data, kExtents[i], &extents[i], error))
            return false;
    if (data[kEndOfTextAt] != kEndOfText)
        return RefuseAt(error, kEndOfTextAt, "the header's fields are not followed by 0x1A");
    design.label.assign(reinterpret_cast<const char*>(data) + 3, kDstLabelSize);
    design.label.erase(design.label.find_last_not_of(' ') + 1);

    size_t at = kDstHeaderSize;
    long long records = 0, stops = 0, x = 0, y = 0;
    for (;; at += 3) {
        if (at == size)
            return RefuseAt(error, at, "the records end without the end record 00 00 F3");
        if (size - at < 3)
            return RefuseAt(error, at,
                            "a truncated record of " + std::to_string(size - at) + " byte" +
                                (size - at == 1 ? "" : "s"));
        const uint8_t* r = data + at;
        if (std::memcmp(r, kEnd, 3) == 0)
            break;
        const uint8_t flags = r[2] & 0xC3;
        if ((flags & kStitchFlags) != kStitchFlags ||
            (flags != kStitchFlags && flags != (kStitchFlags | kJumpFlag) &&
             flags != (kStitchFlags | kStopFlags))) {
            char text[80];
            std::snprintf(text, sizeof text, "an unknown record (third byte 0x%02X)", r[2]);
            return RefuseAt(error, at, text);
        }
        int move[2] = {0, 0};
        int set[2][2][5] = {}; // axis, sign, power index: to find contradicting bits
        for (const TernaryBit& bit : kBits) {
            if ((r[bit.byte] & (1u << bit.bit)) == 0)
                continue;
            move[bit.axis] += bit.value;
            const int magnitude = bit.value < 0 ? -bit.value : bit.value;
            const int power = magnitude == 1    ? 0
                              : magnitude == 3  ? 1
                              : magnitude == 9  ? 2
                              : magnitude == 27 ? 3
                                                : 4;
            set[bit.axis][bit.value < 0][power] = 1;
            if (set[bit.axis][0][power] && set[bit.axis][1][power])
                return RefuseAt(error, at,
                                std::string("a record moves both +") + std::to_string(magnitude) +
                                    " and -" + std::to_string(magnitude) + " on " +
                                    (bit.axis == 0 ? "x" : "y"));
        }
        x += move[0];
        y += move[1];
        ++records;
        const Move kind = flags == (kStitchFlags | kStopFlags)  ? Move::ColourChange
                          : flags == (kStitchFlags | kJumpFlag) ? Move::Jump
                                                                : Move::Stitch;
        stops += kind == Move::ColourChange;
        design.steps.push_back({kind, x, y});
    }
    const size_t after = at + 3;
    if (size - after > 1 || (size - after == 1 && data[after] != kEndOfText))
        return RefuseAt(error, after,
                        std::to_string(size - after) + " bytes follow the end record");

    if (!Agrees(kStitches, stitches, records, "records before the end record", error) ||
        !Agrees(kColours, colours, stops, "colour changes", error) ||
        !Agrees(kEndX, endX, x, "x of the last position", error) ||
        !Agrees(kEndY, endY, y, "y of the last position", error))
        return false;
    // Other writers measure the extents over every needle position or over the stitches only;
    // both are honest.
    const Extents needle = NeedleExtents(design), stitch = StitchExtents(design);
    const long long byNeedle[4] = {needle.left, needle.top, needle.right, needle.bottom};
    const long long byStitch[4] = {stitch.left, stitch.top, stitch.right, stitch.bottom};
    for (int i = 0; i < 4; ++i)
        if (extents[i] != byStitch[i] && !Agrees(kExtents[i], extents[i], byNeedle[i],
                                                 "distance to the outermost position", error))
            return false;
    return true;
}

bool WriteDst(const Design& design, std::vector<uint8_t>& out, std::string& error) {
    const std::vector<Piece> pieces = SplitMoves(design, kDstLimit);
    const Extents e = NeedleExtents(design);
    const long long endX = design.steps.empty() ? 0 : design.steps.back().x;
    const long long endY = design.steps.empty() ? 0 : design.steps.back().y;
    const long long stops = BlockCount(design) - 1;
    const long long limits[][2] = {{static_cast<long long>(pieces.size()), 9999999},
                                   {stops, 999},
                                   {std::max({e.left, e.top, e.right, e.bottom}), 99999},
                                   {std::max(std::llabs(endX), std::llabs(endY)), 99999}};
    const char* what[] = {"records", "colour changes", "units from the origin",
                          "units between the first and the last position"};
    for (int i = 0; i < 4; ++i)
        if (limits[i][0] > limits[i][1]) {
            error = "a DST header holds at most " + std::to_string(limits[i][1]) + " " + what[i] +
                    "; this design has " + std::to_string(limits[i][0]);
            return false;
        }

    std::vector<uint8_t> header(kDstHeaderSize, ' ');
    std::string label = design.label.substr(0, kDstLabelSize);
    for (char& c : label)
        if (c < 0x20 || c > 0x7E)
            c = ' '; // a CR or 0x1A would end the header early
    label.resize(kDstLabelSize, ' ');
    PutField(header, kLabel, label);
    PutField(header, kStitches, Number(kStitches, static_cast<long long>(pieces.size())));
    PutField(header, kColours, Number(kColours, stops));
    const long long extents[4] = {e.left, e.top, e.right, e.bottom};
    for (int i = 0; i < 4; ++i)
        PutField(header, kExtents[i], Number(kExtents[i], extents[i]));
    PutField(header, kEndX, Number(kEndX, endX));
    PutField(header, kEndY, Number(kEndY, endY));
    PutField(header, kPreviousX, Number(kPreviousX, 0));
    PutField(header, kPreviousY, Number(kPreviousY, 0));
    PutField(header, kPrevious, "******");
    header[kEndOfTextAt] = kEndOfText;

    out = std::move(header);
    out.reserve(kDstHeaderSize + 3 * (pieces.size() + 1));
    for (const Piece& piece : pieces) {
        uint8_t record[3] = {0, 0, kStitchFlags};
        if (piece.move == Move::Jump)
            record[2] |= kJumpFlag;
        else if (piece.move == Move::ColourChange)
            record[2] |= kStopFlags;
        Encode(0, piece.dx, record);
        Encode(1, piece.dy, record);
        out.insert(out.end(), record, record + 3);
    }
    out.insert(out.end(), kEnd, kEnd + 3);
    return true;
}

} // namespace formats
