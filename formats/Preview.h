// Previews of designs: a picture built from a plain design (stitches as lines in one colour per
// block, jumps hidden or dashed, the extents' box, the outlines of the hoops that the margins say
// the design fits, and for a large-hoop design the two halves from its trailer in their hoop
// positions, each tinted), written as SVG text or rasterised for PNG files and for a terminal.
#pragma once

#include "formats/Design.h"

#include <string>
#include <vector>

namespace formats {

struct Rgb {
    uint8_t r, g, b;
    bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
    bool operator!=(const Rgb& o) const { return !(*this == o); }
};

// The fixed palette of clearly distinct colours: block i takes entry i modulo its size.
const std::vector<Rgb>& Palette();
const Rgb kBackground = {255, 255, 255};

// Lines and frames in design units, y upward.
struct Line {
    double x0, y0, x1, y1;
    Rgb colour;
    bool dashed;
};

struct Frame {
    double left, bottom, right, top;
    Rgb colour;
    bool dashed;
    std::string label;
};

struct Picture {
    std::vector<Line> lines;   // stitch runs first, then the jumps
    std::vector<Frame> frames; // the extents' box and the hoop outlines
    int blocks = 0;
    int halves = 0; // large-hoop halves drawn instead of the design's own stitches
    double minX = 0, minY = 0, maxX = 0, maxY = 0; // everything drawn
};

struct PreviewOptions {
    bool jumps = false; // draw the jumps dashed
};

// The picture of a plain design of `size` bytes (well formed, trailer readable). False with the
// reason in `error` otherwise.
bool DrawDesign(const uint8_t* data, size_t size, const PreviewOptions& options, Picture& picture,
                std::string& error);

// An SVG document whose longer side is `pixels` wide.
std::string ToSvg(const Picture& picture, int pixels);

// The picture drawn into pixels: the longer side `pixels` wide, one-pixel lines, no smoothing.
struct Raster {
    int width = 0;
    int height = 0;
    std::vector<Rgb> pixels; // row by row from the top
    Rgb At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};
Raster Rasterise(const Picture& picture, int pixels);

// The raster as terminal text: two pixel rows per line of upper-half blocks in 24-bit colour.
std::string ToTerminal(const Raster& raster);

// Whether this build writes PNG files, and the writer (false with the reason in `error`).
bool CanWritePng();
bool WritePng(const Raster& raster, const std::string& path, std::string& error);

} // namespace formats
