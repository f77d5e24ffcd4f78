// vantel preview: draws a design as SVG, as PNG, or in a terminal that shows 24-bit colour.
#include "stdafx.h"
#include "Command.h"
#include "host/DesignFiles.h"
#include "formats/Preview.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#define VANTEL_ISATTY _isatty
#else
#include <unistd.h>
#define VANTEL_ISATTY isatty
#endif

namespace {

const char kUsage[] = "usage: vantel preview FILE [--out FILE.svg|FILE.png] [--size PX] [--jumps] "
                      "[--terminal]";
const char kDetails[] =
    "FILE is a .kst (a design or a part), .kst+, .dst or .exp file. Stitches are drawn in one\n"
    "colour per block, jumps dashed with --jumps, with the extents' box (dashed) and the outlines\n"
    "of the hoops the design fits; a large-hoop design shows its two halves in their hoop\n"
    "positions, the upper tinted blue, the lower orange. --size: the longer side in pixels\n"
    "(default 800), or in terminal columns (default 64). Without --out the preview is drawn in\n"
    "the terminal when it announces 24-bit colour (COLORTERM=truecolor), or with --terminal.\n";

int Fail(const std::string& message, int status) {
    std::fprintf(stderr, "vantel preview: %s\n", message.c_str());
    return status;
}

bool TerminalHasTrueColour() {
    const char* colour = std::getenv("COLORTERM");
    return VANTEL_ISATTY(1) && colour != nullptr &&
           (std::strcmp(colour, "truecolor") == 0 || std::strcmp(colour, "24bit") == 0);
}

std::string Lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return text;
}

int RunPreview(const std::vector<std::string>& words) {
    host::Args args(words, {"jumps", "terminal"});
    const auto out = args.Get("out");
    const auto size = args.GetNumber("size", out ? 800 : 64);
    if (!args.Ok())
        return Fail(args.Error(), 2);
    if (args.Positional().size() != 1)
        return Fail(kUsage, 2);
    const std::string ext = out && out->size() >= 4 ? Lower(out->substr(out->size() - 4)) : "";
    if (out && ext != ".svg" && ext != ".png")
        return Fail("--out names a .svg or a .png file, not " + *out, 2);
    if (*size < 8 || *size > 8192)
        return Fail("--size takes 8 to 8192", 2);
    if (!out && !args.Has("terminal") && !TerminalHasTrueColour())
        return Fail("standard output is not a terminal that announces 24-bit colour "
                    "(COLORTERM=truecolor): write the preview with --out FILE.svg or "
                    "--out FILE.png, or draw it here anyway with --terminal",
                    1);
    if (ext == ".png" && !formats::CanWritePng())
        return Fail("this vantel was built without libpng: write an .svg instead", 1);

    const std::string& path = args.Positional()[0];
    host::DesignFile file;
    const std::string problem = host::ReadDesignFile(path, 0, file);
    if (!problem.empty())
        return Fail(problem, 1);
    formats::PreviewOptions options;
    options.jumps = args.Has("jumps");
    formats::Picture picture;
    std::string error;
    if (!formats::DrawDesign(file.plain.data(), file.plain.size(), options, picture, error))
        return Fail("cannot draw " + path + ": " + error, 1);
    std::printf("%s: %d colour block%s", path.c_str(), picture.blocks,
                picture.blocks == 1 ? "" : "s");
    if (picture.halves > 0)
        std::printf(", drawn as its %d large-hoop %s", picture.halves,
                    picture.halves == 1 ? "half" : "halves");
    std::printf("\n");

    const int pixels = static_cast<int>(*size);
    if (!out) {
        std::fputs(formats::ToTerminal(formats::Rasterise(picture, pixels)).c_str(), stdout);
        return 0;
    }
    if (ext == ".svg") {
        const std::string svg = formats::ToSvg(picture, pixels);
        if (!host::WriteWholeFile(*out, svg.data(), svg.size()))
            return Fail("cannot write " + *out, 1);
    } else {
        const formats::Raster raster = formats::Rasterise(picture, pixels);
        if (!formats::WritePng(raster, *out, error))
            return Fail(error, 1);
    }
    std::printf("preview written to %s\n", out->c_str());
    return 0;
}

} // namespace

VANTEL_COMMAND_WITH_DETAILS(
    "preview", "preview FILE [--out FILE.svg|FILE.png] [--size PX] [--jumps] [--terminal]",
    "draw a design (.kst, .kst+, .dst, .exp) as SVG, PNG or in the terminal", kDetails, RunPreview);
