#include "stdafx.h"
#include "formats/Preview.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace formats {

namespace {

// The two positions of the large hoop: its centre 400 units above and below the origin.
const double kLargeHoopCentre = 400;

struct Hoop {
    const char* name;
    double halfWidth, halfHeight;
    size_t marginsAt; // offset of its margins in the header
};
// Hoops C and D have the same size and margins: one outline serves both.
const Hoop kHoops[] = {{"A", 550, 550, 52}, {"B", 250, 250, 68}, {"C/D", 700, 1000, 84}};

const Rgb kExtentsColour = {110, 110, 110};
const Rgb kHoopColour = {170, 170, 170};
const Rgb kUpperTint = {0, 70, 255};
const Rgb kLowerTint = {255, 120, 0};

Rgb Mix(Rgb a, Rgb b, double t) {
    auto mix = [t](uint8_t x, uint8_t y) {
        return static_cast<uint8_t>(std::lround(x + (y - x) * t));
    };
    return {mix(a.r, b.r), mix(a.g, b.g), mix(a.b, b.b)};
}

LONG LongAt(const uint8_t* p) {
    LONG value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

// The stitches of a design around (cx, cy), blocks numbered from `firstBlock`.
void AddStitches(Picture& picture, const Design& design, double cx, double cy, int firstBlock,
                 const Rgb* tint, bool jumps) {
    const std::vector<Rgb>& palette = Palette();
    int block = firstBlock;
    double x = cx, y = cy;
    std::vector<Line> moves;
    for (const Step& step : design.steps) {
        if (step.move == Move::ColourChange)
            ++block;
        Rgb colour = palette[static_cast<size_t>(block) % palette.size()];
        if (tint != nullptr)
            colour = Mix(colour, *tint, 0.45);
        const Line line = {x, y, cx + step.x, cy + step.y, colour, step.move != Move::Stitch};
        if (!line.dashed)
            picture.lines.push_back(line);
        else if (jumps)
            moves.push_back(line);
        x = line.x1;
        y = line.y1;
    }
    picture.lines.insert(picture.lines.end(), moves.begin(), moves.end());
    picture.blocks = std::max(picture.blocks, block + 1);
}

// The outline of the smallest hoop whose margins in `header` are not all -1, around (cx, cy),
// its label naming the larger hoops that the design fits as well.
void AddHoops(Picture& picture, const uint8_t* header, double cx, double cy, Rgb colour,
              const std::string& suffix) {
    const Hoop* smallest = nullptr;
    std::string others;
    for (const Hoop& hoop : kHoops) {
        if (LongAt(header + hoop.marginsAt) < 0)
            continue;
        if (smallest == nullptr ||
            hoop.halfWidth * hoop.halfHeight < smallest->halfWidth * smallest->halfHeight)
            smallest = &hoop;
    }
    if (smallest == nullptr)
        return;
    for (const Hoop& hoop : kHoops)
        if (&hoop != smallest && LongAt(header + hoop.marginsAt) >= 0)
            others += std::string(others.empty() ? " (fits " : ", ") + hoop.name;
    picture.frames.push_back({cx - smallest->halfWidth, cy - smallest->halfHeight,
                              cx + smallest->halfWidth, cy + smallest->halfHeight, colour, false,
                              std::string("hoop ") + smallest->name + suffix + others +
                                  (others.empty() ? "" : " too)")});
}

struct Half {
    Design design;
    const uint8_t* header;
    int blocks;
    LONG section;
};

// The large-hoop halves in the trailer's sections 1 and 2, each section holding one or more
// halves back to back.
bool ReadHalves(const uint8_t* data, size_t size, std::vector<Half>& halves, std::string& error) {
    KST_SECTION sections[256];
    const int count = KstReadTrailer(data, size, sections, 256);
    if (count < 0) {
        error = "its trailer is malformed";
        return false;
    }
    for (int i = 0; i < count; ++i) {
        if (sections[i].nType != KST_SECTION_HALF1 && sections[i].nType != KST_SECTION_HALF2)
            continue;
        const uint8_t* at = data + sections[i].dwOffset;
        size_t left = static_cast<size_t>(sections[i].nSize);
        while (left > 0) {
            Half half;
            std::string why;
            if (!ReadKst(at, left, half.design, why)) {
                error = "its trailer section " + std::to_string(i + 1) +
                        " holds a malformed large-hoop half";
                return false;
            }
            half.header = at;
            half.blocks = LongAt(at + 24);
            half.section = sections[i].nType;
            halves.push_back(std::move(half));
            // Read, the half lies inside the body; its padding may be all that is missing.
            const size_t units = static_cast<size_t>(LongAt(at + 28));
            const size_t length =
                std::min<size_t>(left, static_cast<DWORD>(LongAt(at)) + 2 * (units + units % 2));
            at += length;
            left -= length;
        }
    }
    return true;
}

void FindBounds(Picture& picture) {
    bool any = false;
    auto widen = [&](double x, double y) {
        picture.minX = any ? std::min(picture.minX, x) : x;
        picture.maxX = any ? std::max(picture.maxX, x) : x;
        picture.minY = any ? std::min(picture.minY, y) : y;
        picture.maxY = any ? std::max(picture.maxY, y) : y;
        any = true;
    };
    widen(0, 0);
    for (const Line& line : picture.lines) {
        widen(line.x0, line.y0);
        widen(line.x1, line.y1);
    }
    for (const Frame& frame : picture.frames) {
        widen(frame.left, frame.bottom);
        widen(frame.right, frame.top);
    }
}

// Where the picture lands in a drawing whose longer side is `pixels`: a margin of 2 % around
// everything drawn, y turned downward.
struct View {
    double left, top, width, height; // design units, the margin included
    double scale;                    // pixels per unit
    int pixelWidth, pixelHeight;

    View(const Picture& picture, int pixels) {
        const double span =
            std::max({picture.maxX - picture.minX, picture.maxY - picture.minY, 1.0});
        const double margin = span * 0.02;
        left = picture.minX - margin;
        top = picture.maxY + margin;
        width = picture.maxX - picture.minX + 2 * margin;
        height = picture.maxY - picture.minY + 2 * margin;
        scale = (pixels - 1) / std::max(width, height);
        pixelWidth = static_cast<int>(std::lround(width * scale)) + 1;
        pixelHeight = static_cast<int>(std::lround(height * scale)) + 1;
    }
    int X(double x) const { return static_cast<int>(std::lround((x - left) * scale)); }
    int Y(double y) const { return static_cast<int>(std::lround((top - y) * scale)); }
};

std::string Hex(Rgb c) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", c.r, c.g, c.b);
    return text;
}

std::string Num(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

// One-pixel line with Bresenham's steps; a dashed line draws three pixels of every six.
void DrawLine(Raster& raster, int x0, int y0, int x1, int y1, Rgb colour, bool dashed) {
    const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
    const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    int error = dx + dy;
    for (int i = 0;; ++i) {
        if ((!dashed || i % 6 < 3) && x0 >= 0 && y0 >= 0 && x0 < raster.width && y0 < raster.height)
            raster.pixels[static_cast<size_t>(y0) * raster.width + x0] = colour;
        if (x0 == x1 && y0 == y1)
            break;
        const int twice = 2 * error;
        if (twice >= dy) {
            error += dy;
            x0 += sx;
        }
        if (twice <= dx) {
            error += dx;
            y0 += sy;
        }
    }
}

} // namespace

const std::vector<Rgb>& Palette() {
    static const std::vector<Rgb> palette = {{230, 25, 75},  {60, 180, 75},  {67, 99, 216},
                                             {245, 130, 49}, {145, 30, 180}, {66, 212, 244},
                                             {240, 50, 230}, {154, 99, 36},  {128, 128, 0},
                                             {0, 0, 117},    {70, 153, 144}, {191, 239, 69}};
    return palette;
}

bool DrawDesign(const uint8_t* data, size_t size, const PreviewOptions& options, Picture& picture,
                std::string& error) {
    picture = Picture();
    Design design;
    if (!ReadKst(data, size, design, error))
        return false;
    std::vector<Half> halves;
    if (!ReadHalves(data, size, halves, error))
        return false;

    LONG extents[4];
    std::memcpy(extents, data + 36, sizeof extents);
    picture.frames.push_back({-static_cast<double>(extents[0]), -static_cast<double>(extents[3]),
                              static_cast<double>(extents[2]), static_cast<double>(extents[1]),
                              kExtentsColour, true, "extents"});
    if (halves.empty()) {
        AddHoops(picture, data, 0, 0, kHoopColour, "");
        AddStitches(picture, design, 0, 0, 0, nullptr, options.jumps);
    } else {
        // The halves are cut in order, the first around the upper centre unless the design has
        // only one, which lies in section 2 when it belongs to the lower position.
        int firstBlock = 0;
        for (size_t h = 0; h < halves.size(); ++h) {
            const bool upper =
                h == 0 && (halves.size() > 1 || halves[h].section == KST_SECTION_HALF1);
            const double cy = upper ? kLargeHoopCentre : -kLargeHoopCentre;
            const Rgb& tint = upper ? kUpperTint : kLowerTint;
            AddHoops(picture, halves[h].header, 0, cy, Mix(kHoopColour, tint, 0.5),
                     upper ? " (upper position)" : " (lower position)");
            AddStitches(picture, halves[h].design, 0, cy, firstBlock, &tint, options.jumps);
            // The next half begins with the block that was in progress at the cut.
            firstBlock += std::max(1, halves[h].blocks) - 1;
        }
        picture.halves = static_cast<int>(halves.size());
    }
    FindBounds(picture);
    return true;
}

std::string ToSvg(const Picture& picture, int pixels) {
    const View view(picture, pixels);
    const double font = std::max(view.width, view.height) / 45;
    std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
                      std::to_string(view.pixelWidth) + "\" height=\"" +
                      std::to_string(view.pixelHeight) + "\" viewBox=\"" + Num(view.left) + " " +
                      Num(-view.top) + " " + Num(view.width) + " " + Num(view.height) + "\">\n";
    svg += "<rect x=\"" + Num(view.left) + "\" y=\"" + Num(-view.top) + "\" width=\"" +
           Num(view.width) + "\" height=\"" + Num(view.height) + "\" fill=\"" + Hex(kBackground) +
           "\"/>\n";
    const std::string stroke = " fill=\"none\" vector-effect=\"non-scaling-stroke\" stroke=\"";
    const std::string dash = "\" stroke-dasharray=\"4 3";
    for (const Frame& f : picture.frames) {
        svg += "<rect x=\"" + Num(f.left) + "\" y=\"" + Num(-f.top) + "\" width=\"" +
               Num(f.right - f.left) + "\" height=\"" + Num(f.top - f.bottom) + "\"" + stroke +
               Hex(f.colour) + (f.dashed ? dash : "") + "\"/>\n";
        svg += "<text x=\"" + Num(f.left + font / 2) + "\" y=\"" + Num(-f.top + font * 1.2) +
               "\" font-family=\"sans-serif\" font-size=\"" + Num(font) + "\" fill=\"" +
               Hex(f.colour) + "\">" + f.label + "</text>\n";
    }
    // Runs of solid lines of one colour that join end to end become one polyline.
    for (size_t i = 0; i < picture.lines.size();) {
        const Line& first = picture.lines[i];
        if (first.dashed) {
            svg += "<line x1=\"" + Num(first.x0) + "\" y1=\"" + Num(-first.y0) + "\" x2=\"" +
                   Num(first.x1) + "\" y2=\"" + Num(-first.y1) + "\"" + stroke + Hex(first.colour) +
                   dash + "\"/>\n";
            ++i;
            continue;
        }
        std::string points = Num(first.x0) + "," + Num(-first.y0);
        size_t j = i;
        for (; j < picture.lines.size(); ++j) {
            const Line& line = picture.lines[j];
            if (line.dashed || line.colour != first.colour ||
                (j > i &&
                 (line.x0 != picture.lines[j - 1].x1 || line.y0 != picture.lines[j - 1].y1)))
                break;
            points += " " + Num(line.x1) + "," + Num(-line.y1);
        }
        svg += "<polyline points=\"" + points + "\"" + stroke + Hex(first.colour) + "\"/>\n";
        i = j;
    }
    svg += "</svg>\n";
    return svg;
}

Raster Rasterise(const Picture& picture, int pixels) {
    const View view(picture, pixels);
    Raster raster;
    raster.width = view.pixelWidth;
    raster.height = view.pixelHeight;
    raster.pixels.assign(static_cast<size_t>(raster.width) * raster.height, kBackground);
    for (const Frame& f : picture.frames) {
        const int l = view.X(f.left), r = view.X(f.right), t = view.Y(f.top), b = view.Y(f.bottom);
        DrawLine(raster, l, t, r, t, f.colour, f.dashed);
        DrawLine(raster, r, t, r, b, f.colour, f.dashed);
        DrawLine(raster, r, b, l, b, f.colour, f.dashed);
        DrawLine(raster, l, b, l, t, f.colour, f.dashed);
    }
    for (const Line& line : picture.lines)
        DrawLine(raster, view.X(line.x0), view.Y(line.y0), view.X(line.x1), view.Y(line.y1),
                 line.colour, line.dashed);
    return raster;
}

std::string ToTerminal(const Raster& raster) {
    std::string text;
    // Sets the fore- or background colour when it differs from the one set last on this line.
    auto set = [&text](int layer, Rgb colour, Rgb& last, bool first) {
        if (!first && colour == last)
            return;
        char code[32];
        std::snprintf(code, sizeof code, "\x1b[%d;2;%d;%d;%dm", layer, colour.r, colour.g,
                      colour.b);
        text += code;
        last = colour;
    };
    for (int y = 0; y < raster.height; y += 2) {
        Rgb fore = kBackground, back = kBackground;
        for (int x = 0; x < raster.width; ++x) {
            set(38, raster.At(x, y), fore, x == 0);
            set(48, y + 1 < raster.height ? raster.At(x, y + 1) : kBackground, back, x == 0);
            text += "\xe2\x96\x80"; // upper half block
        }
        text += "\x1b[0m\n";
    }
    return text;
}

} // namespace formats
