// vantel convert: between the machine's plain and extended designs and DST and EXP files, each
// told by its extension.
#include "stdafx.h"
#include "Command.h"
#include "host/DesignFiles.h"
#include "formats/Dst.h"
#include "formats/Exp.h"

#include <cstdio>
#include <cstring>

namespace {

const char kUsage[] = "usage: vantel convert IN OUT [--hoop N]";

LONG ReadLong(const std::vector<unsigned char>& bytes, size_t offset) {
    LONG value;
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

int Fail(const std::string& message, int status) {
    std::fprintf(stderr, "vantel convert: %s\n", message.c_str());
    return status;
}

const char* SectionName(LONG type) {
    switch (type) {
    case KST_SECTION_BLOCKS:
        return "block records";
    case KST_SECTION_HALF1:
        return "first half";
    case KST_SECTION_HALF2:
        return "second half";
    default:
        return "unknown";
    }
}

void ListTrailer(const std::vector<unsigned char>& design) {
    KST_SECTION sections[8];
    const int count = KstReadTrailer(design.data(), design.size(), sections, 8);
    if (count < 0)
        std::printf("trailer: unreadable\n");
    else if (count == 0)
        std::printf("trailer: none\n");
    else
        std::printf("trailer: %d section%s\n", count, count == 1 ? "" : "s");
    for (int i = 0; i < count && i < 8; ++i)
        std::printf("  type %ld (%s): %ld bytes\n", static_cast<long>(sections[i].nType),
                    SectionName(sections[i].nType), static_cast<long>(sections[i].nSize));
}

// A plain design made from a DST or EXP file: the machine's limits, what its tables hold, and
// whether it fits the largest single hoop.
int WriteConverted(const std::string& in, const std::string& out, const host::DesignFile& file,
                   LONG hoop) {
    const LONG colours = ReadLong(file.plain, offsetof(tagKstHeader, nColors));
    const LONG units = ReadLong(file.plain, offsetof(tagKstHeader, nUnits));
    const std::string limit = host::MachineLimitProblem(in, colours, units);
    if (!limit.empty())
        return Fail(limit, 1);
    if (!host::WriteWholeFile(out, file.plain.data(), file.plain.size()))
        return Fail("cannot write " + out, 1);
    std::printf("%s -> %s: %zu bytes, %ld colour blocks, %ld units, hoop %ld\n", in.c_str(),
                out.c_str(), file.plain.size(), static_cast<long>(colours),
                static_cast<long>(units), static_cast<long>(hoop));
    std::printf("colour table: entries 1 to %ld, one per block (the file carries no thread "
                "colours); type table: 0\n",
                static_cast<long>(colours));
    if (ReadLong(file.plain, offsetof(tagKstHeader, rcMarginC)) < 0)
        std::printf("warning: the design does not fit hoop C/D (700 x 1000 units from its "
                    "centre); check its extents with `vantel info %s`\n",
                    out.c_str());
    return 0;
}

int WriteInterchange(const std::string& in, const std::string& out, host::DesignKind kind,
                     const host::DesignFile& file) {
    formats::Design design;
    std::string error;
    if (!formats::ReadKst(file.plain.data(), file.plain.size(), design, error))
        return Fail(in + " is " + error, 1);
    design.label = file.label;
    std::vector<uint8_t> bytes;
    if (kind == host::DesignKind::Exp)
        bytes = formats::WriteExp(design);
    else if (!formats::WriteDst(design, bytes, error))
        return Fail("cannot write " + in + " as DST: " + error, 1);
    if (!host::WriteWholeFile(out, bytes.data(), bytes.size()))
        return Fail("cannot write " + out, 1);
    std::printf("%s -> %s: %zu bytes, %zu needle moves, %d colour blocks\n", in.c_str(),
                out.c_str(), bytes.size(), design.steps.size(), formats::BlockCount(design));
    return 0;
}

const char kDetails[] =
    "IN and OUT are .kst+, .kst, .dst or .exp files, told by their extension. An extended design\n"
    "becomes a plain one through the library's conversion first (its large-hoop halves into the\n"
    "trailer). A plain design made from DST or EXP gets colour table entries 1 to n, one per\n"
    "block (those files carry no thread colours), type table 0 and the hoop code --hoop N\n"
    "(default 0); one over 78 blocks or 100000 units is refused (see vantel divide).\n";

int RunConvert(const std::vector<std::string>& words) {
    host::Args args(words, {});
    const auto hoop = args.GetNumber("hoop", 0);
    if (!args.Ok())
        return Fail(args.Error(), 2);
    if (args.Positional().size() != 2)
        return Fail(kUsage, 2);
    if (*hoop < -2147483647LL - 1 || *hoop > 2147483647LL)
        return Fail("--hoop takes a 32-bit hoop code", 2);
    const std::string& in = args.Positional()[0];
    const std::string& out = args.Positional()[1];
    const host::DesignKind from = host::KindOfPath(in), to = host::KindOfPath(out);
    if (from == host::DesignKind::Unknown || to == host::DesignKind::Unknown)
        return Fail("IN and OUT are each " + std::string(host::kDesignKinds) +
                        ", told by the "
                        "extension: " +
                        (from == host::DesignKind::Unknown ? in : out) + " is neither",
                    2);
    if (to == host::DesignKind::Extended)
        return Fail("the extended form (.kst+) is the design application's own: write a .kst, "
                    ".dst or .exp file",
                    2);
    if (from == host::DesignKind::Plain && to == host::DesignKind::Plain)
        return Fail("both are plain designs: there is nothing to convert", 2);
    const bool interchangeIn = from == host::DesignKind::Dst || from == host::DesignKind::Exp;
    if (args.Has("hoop") && !(interchangeIn && to == host::DesignKind::Plain))
        return Fail("--hoop sets the hoop code of a plain design made from a DST or EXP file", 2);

    host::DesignFile file;
    const std::string problem = host::ReadDesignFile(in, static_cast<LONG>(*hoop), file);
    if (!problem.empty())
        return Fail(problem, 1);
    if (to != host::DesignKind::Plain)
        return WriteInterchange(in, out, to, file);
    if (interchangeIn)
        return WriteConverted(in, out, file, static_cast<LONG>(*hoop));
    if (!host::WriteWholeFile(out, file.plain.data(), file.plain.size()))
        return Fail("cannot write " + out, 1);
    std::printf("%s -> %s: %zu bytes\n", in.c_str(), out.c_str(), file.plain.size());
    ListTrailer(file.plain);
    return 0;
}

} // namespace

VANTEL_COMMAND_WITH_DETAILS("convert", "convert IN OUT [--hoop N]",
                            "convert between .kst+, .kst, .dst and .exp designs (by extension)",
                            kDetails, RunConvert);
