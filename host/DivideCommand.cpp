// vantel divide: cuts a design into parts of at most a given number of stitch units.
#include "Command.h"
#include "design/FileData.h"
#include "host/DesignFiles.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace {

// Zero bytes kept after the design's own bytes: the division reads the trailer tag where the header
// puts it, which may lie just past the end of a design without one.
const size_t kReadSlack = 16;

int Fail(const std::string& message, int status) {
    std::fprintf(stderr, "vantel divide: %s\n", message.c_str());
    return status;
}

int RunDivide(const std::vector<std::string>& words) {
    host::Args args(words, {});
    const auto budget = args.GetNumber("budget", 0);
    const auto first = args.GetNumber("first", 0);
    const auto second = args.GetNumber("second", 0);
    const auto outDir = args.Get("out");
    if (!args.Ok())
        return Fail(args.Error(), 2);
    if (args.Positional().size() != 1 || !args.Has("budget") || !outDir)
        return Fail("usage: vantel divide FILE --budget N [--first B] [--second B] "
                    "--out DIR",
                    2);
    if (*budget < 1 || *budget > 0x7FFFFFFF)
        return Fail("--budget takes a number of stitch units from 1 to 2147483647", 2);
    if (*first < 0 || *first > 255 || *second < 0 || *second > 255)
        return Fail("--first and --second take a byte value from 0 to 255", 2);

    const std::string path = args.Positional()[0];
    std::vector<BYTE> source;
    std::error_code error; // a folder is not read: reading one fails by exception
    // A DST or EXP design may be longer than the machine takes: dividing it is the way in.
    const host::DesignKind kind = host::KindOfPath(path);
    const bool converted = kind == host::DesignKind::Dst || kind == host::DesignKind::Exp;
    if (converted) {
        host::DesignFile file;
        const std::string problem = host::ReadDesignFile(path, 0, file);
        if (!problem.empty())
            return Fail(problem, 1);
        source = std::move(file.plain);
    } else if (!std::filesystem::is_regular_file(path, error) ||
               !host::ReadWholeFile(path, source)) {
        return Fail("cannot read " + path, 2);
    }
    const size_t length = source.size();
    // The division trusts its source: check the design and its trailer first.
    DWORD proper = 0;
    if (!KstCheckStructure(source.data(), length, !converted, &proper) || length < proper)
        return Fail(path + " is not a well-formed design within 78 colours and 100000 units", 1);
    if (KstReadTrailer(source.data(), length, NULL, 0) < 0)
        return Fail(path + " has a malformed trailer", 1);
    source.resize(length + kReadSlack, 0);

    std::filesystem::create_directories(*outDir, error);
    if (error)
        return Fail("cannot create " + *outDir + ": " + error.message(), 2);
    const std::string stem = std::filesystem::path(path).stem().string();

    std::vector<BYTE> part(KST_WORK_BUFFER_SIZE);
    int position = 1;
    for (int k = 1; position != 0; ++k) {
        const int start = position;
        const int size =
            CFileData::DivideKst(source.data(), position, part.data(), static_cast<int>(*budget),
                                 static_cast<int>(*first), static_cast<int>(*second));
        if (size == 0) {
            if (k == 1)
                return Fail("cannot divide " + path + " with a budget of " +
                                std::to_string(*budget) +
                                " units: its first colour block does not fit",
                            1);
            return Fail("colour block " + std::to_string(start) + " of " + path +
                            " does not fit a budget of " + std::to_string(*budget) +
                            " units; parts 1 to " + std::to_string(k - 1) + " were written",
                        1);
        }
        const std::string file =
            (std::filesystem::path(*outDir) / (stem + "_" + std::to_string(k) + ".kst")).string();
        if (!host::WriteWholeFile(file, part.data(), static_cast<size_t>(size)))
            return Fail("cannot write " + file, 2);
        std::printf("%s\t%d bytes\tposition %d\n", file.c_str(), size, position);
        if (position != 0 && !KstEndsWithEndCode(part.data(), static_cast<size_t>(size))) {
            std::printf("%s has no end code: this part reaches the end of its stitch data "
                        "without one, so the division stops here\n",
                        path.c_str());
            break;
        }
    }
    return 0;
}

} // namespace

VANTEL_COMMAND("divide", "divide FILE --budget N [--first B] [--second B] --out DIR",
               "cut a design (.kst, .dst, .exp) into parts of at most N stitch units", RunDivide);
