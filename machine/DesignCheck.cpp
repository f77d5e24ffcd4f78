#include "machine/DesignCheck.h"

#include "machine/Wire.h"

namespace machine {

namespace {

constexpr size_t kStitchOffset = 0;
constexpr size_t kColourCount = 24;
constexpr size_t kUnitCount = 28;
constexpr size_t kExtents = 36;
constexpr uint8_t kCommand = 0x80;
constexpr uint8_t kColourChange = 0x01;
constexpr uint8_t kJump = 0x02;
constexpr uint8_t kJumpAlt = 0x04;
constexpr uint8_t kEnd = 0x10;

} // namespace

bool CheckDesignStructure(const uint8_t* data, size_t size) {
    if (data == nullptr || size < kDesignHeaderSize)
        return false;
    uint32_t offset = GetU32(data + kStitchOffset);
    uint32_t colours = GetU32(data + kColourCount);
    uint32_t units = GetU32(data + kUnitCount);
    if (offset <= kDesignHeaderSize || colours < 1 || units < 1)
        return false;
    if (offset > size || (size - offset) / 2 < units)
        return false; // the stitch data does not lie within the bytes
    const uint8_t* stitches = data + offset;
    uint64_t walked = 0;
    uint64_t changes = 0;
    while (walked < units) {
        const uint8_t* unit = stitches + 2 * walked;
        ++walked;
        if (unit[0] != kCommand)
            continue;
        uint8_t command = unit[1];
        if (command == kEnd)
            break;
        if (command == kColourChange || command == kJump || command == kJumpAlt) {
            if (command == kColourChange)
                ++changes;
            ++walked; // the displacement unit that follows the command
        }
    }
    return walked == units && changes + 1 == colours;
}

void DesignExtents(const uint8_t* data, size_t size, int32_t* width, int32_t* height) {
    *width = 0;
    *height = 0;
    if (data == nullptr || size < kExtents + 16)
        return;
    auto extent = [&](int i) {
        return static_cast<int64_t>(static_cast<int32_t>(GetU32(data + kExtents + 4 * i)));
    };
    auto clamp = [](int64_t v) {
        return static_cast<int32_t>(v > INT32_MAX ? INT32_MAX : (v < INT32_MIN ? INT32_MIN : v));
    };
    *width = clamp(extent(0) + extent(2));
    *height = clamp(extent(1) + extent(3));
}

} // namespace machine
