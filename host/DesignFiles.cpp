#include "host/DesignFiles.h"
#include "Command.h"
#include "design/Convert.h"
#include "formats/Dst.h"
#include "formats/Exp.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace host {

namespace {

LONG ReadLong(const std::vector<unsigned char>& bytes, size_t offset) {
    LONG value;
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

bool EndsWith(const std::string& text, const char* tail) {
    const size_t n = std::strlen(tail);
    return text.size() >= n && text.compare(text.size() - n, n, tail) == 0;
}

// The conversion trusts the header's counts and offsets; here they are checked against the
// file's length first. Returns an empty string when everything they point to is present.
std::string CheckExtendedDesign(const std::vector<unsigned char>& bytes) {
    char text[200];
    if (bytes.size() < KST_HEADER_SIZE) {
        std::snprintf(text, sizeof text, "%zu bytes, shorter than the %d-byte design header",
                      bytes.size(), KST_HEADER_SIZE);
        return text;
    }
    tagKstHeader header;
    std::memcpy(&header, bytes.data(), sizeof header);
    if (header.dwStitchOffset < KST_HEADER_SIZE)
        return "the stitch-data offset " + std::to_string(header.dwStitchOffset) +
               " lies inside the header";
    if (header.nColors < 1 || header.nColors > KST_MAX_COLORS)
        return "colour count " + std::to_string(header.nColors) + " is outside 1 to 78";
    if (header.nUnits < 1 || header.nUnits > KST_MAX_UNITS)
        return "unit count " + std::to_string(header.nUnits) + " is outside 1 to 100000";
    const size_t recordCountAt = KST_HEADER_SIZE + 8 * static_cast<size_t>(header.nColors);
    if (bytes.size() < recordCountAt + 4)
        return "the file ends inside the colour tables";
    const LONG records = ReadLong(bytes, recordCountAt);
    if (records < 0 || records > KST_MAX_BLOCK_RECORDS)
        return "block-record count " + std::to_string(records) + " is outside 0 to 78";
    const size_t divisionAt =
        recordCountAt + 4 + KST_BLOCK_RECORD_SIZE * static_cast<size_t>(records);
    if (bytes.size() < divisionAt + 4)
        return "the file ends inside the block records or the division point";
    const size_t stitchEnd =
        static_cast<size_t>(header.dwStitchOffset) + 2 * static_cast<size_t>(header.nUnits);
    if (bytes.size() < stitchEnd) {
        std::snprintf(text, sizeof text,
                      "%zu bytes, shorter than the %zu bytes its header points to (stitch data "
                      "at %lu, %ld units)",
                      bytes.size(), stitchEnd, static_cast<unsigned long>(header.dwStitchOffset),
                      static_cast<long>(header.nUnits));
        return text;
    }
    return "";
}

std::string PlusToKst(const std::string& path, const std::vector<unsigned char>& bytes,
                      std::vector<unsigned char>& plain) {
    const std::string problem = CheckExtendedDesign(bytes);
    if (!problem.empty())
        return path + " is not a convertible extended design: " + problem;
    BYTE* design = static_cast<BYTE*>(std::malloc(bytes.size()));
    if (design == nullptr)
        return "out of memory";
    std::memcpy(design, bytes.data(), bytes.size());
    int length = 0;
    CConvert convert;
    if (!convert.PlusToKst(&design, &length)) {
        std::free(design); // still ours when the input was refused, null otherwise
        if (ReadLong(bytes, offsetof(tagKstHeader, nHoop)) == KST_HOOP_LARGE)
            return "the conversion of " + path +
                   " failed: its large-hoop design cannot be divided at its division point";
        return "the conversion of " + path + " failed";
    }
    plain.assign(design, design + length);
    std::free(design);
    return "";
}

} // namespace

const char* const kDesignKinds = "a .kst, .kst+, .dst or .exp file";

DesignKind KindOfPath(const std::string& path) {
    std::string lower;
    for (char c : path)
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return EndsWith(lower, ".kst")    ? DesignKind::Plain
           : EndsWith(lower, ".kst+") ? DesignKind::Extended
           : EndsWith(lower, ".dst")  ? DesignKind::Dst
           : EndsWith(lower, ".exp")  ? DesignKind::Exp
                                      : DesignKind::Unknown;
}

std::string ReadDesignFile(const std::string& path, LONG hoop, DesignFile& file) {
    file = DesignFile();
    file.kind = KindOfPath(path);
    if (file.kind == DesignKind::Unknown)
        return path + " is not " + kDesignKinds;
    std::vector<unsigned char> bytes;
    if (!ReadWholeFile(path, bytes))
        return "cannot read " + path;
    const std::filesystem::path name = std::filesystem::path(path).filename();
    file.label = name.stem().string();
    file.machineName = file.label + ".kst";
    std::string error;
    formats::Design design;
    switch (file.kind) {
    case DesignKind::Plain:
        file.machineName = name.string();
        file.plain = std::move(bytes);
        return "";
    case DesignKind::Extended:
        return PlusToKst(path, bytes, file.plain);
    case DesignKind::Dst:
        if (!formats::ReadDst(bytes.data(), bytes.size(), design, error))
            return path + " is not a DST design the host can read: " + error;
        if (!design.label.empty())
            file.label = design.label;
        break;
    default:
        if (!formats::ReadExp(bytes.data(), bytes.size(), design, error))
            return path + " is not an EXP design the host can read: " + error;
        break;
    }
    file.plain = formats::WriteKst(design, hoop);
    return "";
}

std::string MachineLimitProblem(const std::string& path, long colours, long units) {
    if (colours <= KST_MAX_COLORS && units <= KST_MAX_UNITS)
        return "";
    return path + " makes a design of " + std::to_string(colours) + " colour blocks and " +
           std::to_string(units) + " units; the machine takes at most " +
           std::to_string(KST_MAX_COLORS) + " and " + std::to_string(KST_MAX_UNITS) +
           ": cut it into parts with `vantel divide " + path + " --budget N --out DIR`";
}

std::string LoadDesignForMachine(const std::string& path, MachineDesign& design) {
    DesignFile file;
    std::string problem = ReadDesignFile(path, 0, file);
    if (problem.empty() && (file.kind == DesignKind::Dst || file.kind == DesignKind::Exp))
        problem = MachineLimitProblem(path, ReadLong(file.plain, 24), ReadLong(file.plain, 28));
    if (!problem.empty())
        return problem;
    design.bytes = std::move(file.plain);
    design.name = file.machineName;
    return "";
}

} // namespace host
