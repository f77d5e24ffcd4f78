// The checks that the vantel commands make on a design file before the library reads it, as the
// fuzz targets repeat them in process. HostCommands.cpp holds them against the commands
// themselves, so that the two cannot drift apart.
#pragma once

#include "stdafx.h"
#include "design/KstFormat.h"

#include <cstdint>
#include <cstring>

namespace hostcheck {

// Zero bytes `vantel divide` keeps after a design's own bytes: the division reads the trailer tag
// where the header puts it, which may lie just past the end of a design without one.
const size_t kDivideSlack = 16;

inline LONG GetLong(const uint8_t* p) {
    LONG value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

// `vantel info`'s load check: well formed, and the design proper wholly inside the file.
inline bool InfoPasses(const uint8_t* data, size_t size) {
    DWORD proper = 0;
    return KstCheckStructure(data, size, FALSE, &proper) && size >= proper;
}

// `vantel divide`: well formed within the upper bounds, wholly inside the file, and a trailer
// that is either absent or readable.
inline bool DivideAccepts(const uint8_t* data, size_t size) {
    DWORD proper = 0;
    return KstCheckStructure(data, size, TRUE, &proper) && size >= proper &&
           KstReadTrailer(data, size, nullptr, 0) >= 0;
}

// `vantel convert`: what the conversion reads of an extended design. Returns the number of bytes
// it reads, or 0 when the file is too short for the reads it makes before it would refuse the
// design; *pRefused tells whether it refuses it (a count or an offset out of its range).
inline size_t ConvertReads(const uint8_t* data, size_t size, bool* pRefused) {
    *pRefused = true;
    if (size < KST_HEADER_SIZE)
        return 0;
    const DWORD offset = GetLong(data);
    const LONG colours = GetLong(data + 24);
    const LONG units = GetLong(data + 28);
    if (offset < KST_HEADER_SIZE || colours < 1 || colours > KST_MAX_COLORS || units < 1 ||
        units > KST_MAX_UNITS)
        return KST_HEADER_SIZE;
    const size_t recordCount = KST_HEADER_SIZE + 8 * static_cast<size_t>(colours);
    if (size < recordCount + 4)
        return 0;
    const LONG records = GetLong(data + recordCount);
    if (records < 0 || records > KST_MAX_BLOCK_RECORDS)
        return recordCount + 4;
    *pRefused = false;
    const size_t division = recordCount + 4 + KST_BLOCK_RECORD_SIZE * static_cast<size_t>(records);
    const size_t stitchEnd = offset + 2 * static_cast<size_t>(units);
    const size_t end = division + 4 > stitchEnd ? division + 4 : stitchEnd;
    return size < end ? 0 : end;
}

inline bool ConvertAccepts(const uint8_t* data, size_t size) {
    bool refused = true;
    return ConvertReads(data, size, &refused) != 0 && !refused;
}

} // namespace hostcheck
