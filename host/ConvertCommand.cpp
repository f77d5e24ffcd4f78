// vantel convert: turns an extended design into the plain design the machine loads.
#include "stdafx.h"
#include "Command.h"
#include "design/Convert.h"

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

LONG ReadLong(const std::vector<unsigned char>& bytes, size_t offset) {
    LONG value;
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
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

int RunConvert(const std::vector<std::string>& words) {
    host::Args args(words, {});
    if (!args.Ok() || args.Positional().size() != 2) {
        std::fprintf(stderr, "vantel convert: %s\n",
                     args.Ok() ? "usage: vantel convert IN OUT" : args.Error().c_str());
        return 2;
    }
    const std::string& in = args.Positional()[0];
    const std::string& out = args.Positional()[1];
    std::vector<unsigned char> bytes;
    if (!host::ReadWholeFile(in, bytes)) {
        std::fprintf(stderr, "vantel convert: cannot read %s\n", in.c_str());
        return 1;
    }
    const std::string problem = CheckExtendedDesign(bytes);
    if (!problem.empty()) {
        std::fprintf(stderr, "vantel convert: %s is not a convertible extended design: %s\n",
                     in.c_str(), problem.c_str());
        return 1;
    }
    const LONG hoop = ReadLong(bytes, offsetof(tagKstHeader, nHoop));

    BYTE* design = static_cast<BYTE*>(std::malloc(bytes.size()));
    if (design == nullptr) {
        std::fprintf(stderr, "vantel convert: out of memory\n");
        return 1;
    }
    std::memcpy(design, bytes.data(), bytes.size());
    int length = 0;
    CConvert convert;
    if (!convert.PlusToKst(&design, &length)) {
        std::free(design); // still ours when the input was refused, null otherwise
        if (hoop == KST_HOOP_LARGE)
            std::fprintf(stderr,
                         "vantel convert: the conversion of %s failed: its large-hoop design "
                         "cannot be divided at its division point\n",
                         in.c_str());
        else
            std::fprintf(stderr, "vantel convert: the conversion of %s failed\n", in.c_str());
        return 1;
    }
    const bool written = host::WriteWholeFile(out, design, static_cast<size_t>(length));
    KST_SECTION sections[8];
    const int count = KstReadTrailer(design, static_cast<size_t>(length), sections, 8);
    std::free(design);
    if (!written) {
        std::fprintf(stderr, "vantel convert: cannot write %s\n", out.c_str());
        return 1;
    }
    std::printf("%s -> %s: %d bytes\n", in.c_str(), out.c_str(), length);
    if (count < 0)
        std::printf("trailer: unreadable\n");
    else if (count == 0)
        std::printf("trailer: none\n");
    else
        std::printf("trailer: %d section%s\n", count, count == 1 ? "" : "s");
    for (int i = 0; i < count && i < 8; ++i)
        std::printf("  type %ld (%s): %ld bytes\n", static_cast<long>(sections[i].nType),
                    SectionName(sections[i].nType), static_cast<long>(sections[i].nSize));
    return 0;
}

} // namespace

VANTEL_COMMAND("convert", "convert IN OUT",
               "convert an extended design (.kst+) into the plain design (.kst)", RunConvert);
