#include "stdafx.h"
#include "formats/Design.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace formats {

namespace {

const int kKstLimit = 127;

Extents ExtentsOf(const Design& design, bool movesToo) {
    long long minX = 0, minY = 0, maxX = 0, maxY = 0;
    for (const Step& step : design.steps) {
        if (!movesToo && step.move != Move::Stitch)
            continue;
        minX = std::min(minX, step.x);
        maxX = std::max(maxX, step.x);
        minY = std::min(minY, step.y);
        maxY = std::max(maxY, step.y);
    }
    Extents extents;
    extents.left = -minX;
    extents.right = maxX;
    extents.top = maxY;
    extents.bottom = -minY;
    return extents;
}

// floor(a / b) for b > 0.
long long FloorDiv(long long a, long long b) {
    const long long q = a / b;
    return (a % b != 0 && a < 0) ? q - 1 : q;
}

void AppendLong(std::vector<uint8_t>& out, LONG value) {
    const uint8_t* p = reinterpret_cast<const uint8_t*>(&value);
    out.insert(out.end(), p, p + sizeof value);
}

void AppendUnit(std::vector<uint8_t>& out, int a, int b) {
    out.push_back(static_cast<uint8_t>(a & 0xFF));
    out.push_back(static_cast<uint8_t>(b & 0xFF));
}

} // namespace

Extents StitchExtents(const Design& design) {
    return ExtentsOf(design, false);
}

Extents NeedleExtents(const Design& design) {
    return ExtentsOf(design, true);
}

bool RefuseAt(std::string& error, size_t offset, const std::string& what) {
    error = "offset " + std::to_string(offset) + ": " + what;
    return false;
}

int BlockCount(const Design& design) {
    return 1 + static_cast<int>(
                   std::count_if(design.steps.begin(), design.steps.end(),
                                 [](const Step& s) { return s.move == Move::ColourChange; }));
}

std::vector<Piece> SplitMoves(const Design& design, int limit) {
    std::vector<Piece> pieces;
    pieces.reserve(design.steps.size());
    long long x = 0, y = 0;
    for (const Step& step : design.steps) {
        const long long dx = step.x - x, dy = step.y - y;
        const long long longest = std::max(std::llabs(dx), std::llabs(dy));
        const long long n = std::max(1LL, (longest + limit - 1) / limit);
        long long px = 0, py = 0; // the part of the move made so far
        for (long long i = 1; i <= n; ++i) {
            const long long tx = FloorDiv(dx * i, n), ty = FloorDiv(dy * i, n);
            Move move = step.move;
            if (move == Move::ColourChange && i > 1)
                move = Move::Jump;
            pieces.push_back({move, static_cast<int>(tx - px), static_cast<int>(ty - py)});
            px = tx;
            py = ty;
        }
        x = step.x;
        y = step.y;
    }
    return pieces;
}

bool ReadKst(const uint8_t* data, size_t size, Design& design, std::string& error) {
    design = Design();
    DWORD proper = 0;
    if (!KstCheckStructure(data, size, FALSE, &proper) || proper > size) {
        error = "not a well-formed design (the structural check fails within its " +
                std::to_string(size) + " bytes)";
        return false;
    }
    tagKstHeader header;
    std::memcpy(&header, data, sizeof header);
    const uint8_t* unit = data + header.dwStitchOffset;
    const uint8_t* const end = unit + 2 * static_cast<size_t>(header.nUnits);
    long long x = 0, y = 0;
    while (unit < end) {
        Move move = Move::Stitch;
        if (unit[0] == KST_COMMAND) {
            const uint8_t code = unit[1];
            unit += 2;
            if (code == KST_END)
                break;
            if (code != KST_JUMP && code != KST_JUMP_ALT && code != KST_COLOR_CHANGE)
                continue; // an unknown command is one unit
            move = code == KST_COLOR_CHANGE ? Move::ColourChange : Move::Jump;
        }
        // The check has walked every command's displacement unit inside the unit count.
        x += static_cast<int8_t>(unit[0]);
        y += static_cast<int8_t>(unit[1]);
        unit += 2;
        design.steps.push_back({move, x, y});
    }
    return true;
}

long KstUnitCount(const Design& design) {
    long units = 1; // the end code
    for (const Piece& piece : SplitMoves(design, kKstLimit))
        units += piece.move == Move::Stitch ? 1 : 2;
    return units;
}

std::vector<uint8_t> WriteKst(const Design& design, LONG hoop) {
    std::vector<uint8_t> units;
    for (const Piece& piece : SplitMoves(design, kKstLimit)) {
        if (piece.move != Move::Stitch)
            AppendUnit(units, KST_COMMAND, piece.move == Move::Jump ? KST_JUMP : KST_COLOR_CHANGE);
        AppendUnit(units, piece.dx, piece.dy);
    }
    AppendUnit(units, KST_COMMAND, KST_END);
    const LONG colours = BlockCount(design);

    tagKstHeader header;
    std::memset(&header, 0, sizeof header);
    header.dwStitchOffset = KST_HEADER_SIZE + 8 * static_cast<DWORD>(colours);
    header.dwFlags = KST_FLAGS_PLAIN;
    char text[16];
    KstFormatDateTime(text);
    std::memcpy(header.szDateTime, text, sizeof header.szDateTime);
    header.nColors = colours;
    header.nUnits = static_cast<LONG>(units.size() / 2);
    header.nHoop = hoop;
    const Extents e = StitchExtents(design);
    auto field = [](long long value) { return static_cast<LONG>(std::min(value, 0x7FFFFFFFLL)); };
    KstSetExtents(&header, field(e.left), field(e.top), field(e.right), field(e.bottom));

    std::vector<uint8_t> out(reinterpret_cast<const uint8_t*>(&header),
                             reinterpret_cast<const uint8_t*>(&header) + sizeof header);
    for (LONG i = 0; i < colours; ++i)
        AppendLong(out, i + 1);
    out.resize(out.size() + 4 * static_cast<size_t>(colours), 0);
    out.insert(out.end(), units.begin(), units.end());
    if (header.nUnits % 2 == 1)
        out.resize(out.size() + 2, 0);
    return out;
}

} // namespace formats
