// vantel sample: writes a sample design of the machine's format.
#include "Command.h"
#include "host/DesignFiles.h"
#include "host/DesignSample.h"
#include "formats/Dst.h"
#include "formats/Exp.h"

#include <cstdio>
#include <filesystem>

namespace {

int RunSample(const std::vector<std::string>& words) {
    host::Args args(words, {"extended"});
    const auto hoop = args.GetNumber("hoop", 1);
    const auto colours = args.GetNumber("colours", 4);
    const auto units = args.GetNumber("units", 0);
    const auto records = args.GetNumber("records", -1);
    const auto out = args.Get("out");
    if (args.Ok() && !out)
        std::fprintf(stderr, "vantel sample: --out FILE is required\n");
    if (!args.Ok())
        std::fprintf(stderr, "vantel sample: %s\n", args.Error().c_str());
    if (!args.Ok() || !out || !args.Positional().empty())
        return 2;

    host::DesignSampleOptions options;
    options.extended = args.Has("extended");
    // Out-of-range values are clamped to one just outside the range, which the generator
    // rejects with its own message.
    auto narrow = [](long long value, long long low, long long high) {
        return static_cast<int>(value < low ? low - 1 : value > high ? high + 1 : value);
    };
    if (*hoop < -2147483647LL - 1 || *hoop > 2147483647LL) {
        std::fprintf(stderr, "vantel sample: --hoop takes a 32-bit value\n");
        return 2;
    }
    options.hoop = static_cast<LONG>(*hoop);
    options.colours = narrow(*colours, 1, KST_MAX_COLORS);
    options.units = narrow(*units, 0, KST_MAX_UNITS);
    options.blockRecords = narrow(*records, -1, KST_MAX_BLOCK_RECORDS);

    host::DesignSample sample;
    const std::string error = host::BuildDesignSample(options, sample);
    if (!error.empty()) {
        std::fprintf(stderr, "vantel sample: %s\n", error.c_str());
        return 1;
    }
    // A sample for other tools: the same needle path as DST or EXP, named after the file.
    const host::DesignKind kind = host::KindOfPath(*out);
    const bool interchange = kind == host::DesignKind::Dst || kind == host::DesignKind::Exp;
    if (interchange && options.extended) {
        std::fprintf(stderr, "vantel sample: --extended writes a .kst+ file, not %s\n",
                     out->c_str());
        return 2;
    }
    if (interchange) {
        formats::Design design;
        std::string problem;
        formats::ReadKst(sample.bytes.data(), sample.bytes.size(), design, problem);
        design.label = std::filesystem::path(*out).stem().string();
        if (kind == host::DesignKind::Exp)
            sample.bytes = formats::WriteExp(design);
        else if (!formats::WriteDst(design, sample.bytes, problem)) {
            std::fprintf(stderr, "vantel sample: %s\n", problem.c_str());
            return 1;
        }
    }
    if (!host::WriteWholeFile(*out, sample.bytes.data(), sample.bytes.size())) {
        std::fprintf(stderr, "vantel sample: cannot write %s\n", out->c_str());
        return 1;
    }
    std::printf("%s: %s design, %zu bytes, %zu colours, %zu units, %zu block records, hoop %d",
                out->c_str(),
                kind == host::DesignKind::Dst   ? "DST"
                : kind == host::DesignKind::Exp ? "EXP"
                : options.extended              ? "extended"
                                                : "plain",
                sample.bytes.size(), sample.parts.colourTable.size(), sample.parts.units.size() / 2,
                sample.parts.records.size(), static_cast<int>(options.hoop));
    if (sample.divisionPoint != 0)
        std::printf(", division point %d", sample.divisionPoint);
    std::printf("\n");
    return 0;
}

} // namespace

VANTEL_COMMAND("sample",
               "sample --out FILE [--extended] [--hoop H] [--colours N] [--units N] [--records N]",
               "write a sample design (extended form with --extended)", RunSample);
