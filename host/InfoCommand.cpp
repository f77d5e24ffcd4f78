// vantel info: what a design file holds and whether it would be loaded for sending.
#include "Command.h"
#include "design/KstFormat.h"

#include <cstdio>
#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

LONG ReadLong(const std::vector<BYTE>& bytes, size_t offset) {
    LONG value;
    std::memcpy(&value, bytes.data() + offset, sizeof(value));
    return value;
}

// Everything that the report shows, read within the file's bounds.
struct DesignReport {
    bool hasHeader = false;
    tagKstHeader header;
    LONG rects[5][4]; // extents and the margins of hoops A to D, copied out of the packed header
    std::vector<LONG> colourTable;
    std::vector<LONG> typeTable;
    int sectionCount = 0; // -1: malformed trailer
    std::vector<KST_SECTION> sections;
    std::vector<LONG> sectionRecords; // record count of each section (-1 when unreadable)
    bool wellFormed = false;
    bool withinLimits = false;
    DWORD properLength = 0;
    bool extended = false;    // named ".kst+": records and division point before the stitches
    std::string extendedText; // what they hold
};

bool IsExtendedName(const std::string& path) {
    const std::string tail = path.size() >= 5 ? path.substr(path.size() - 5) : "";
    std::string lower;
    for (char c : tail)
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower == ".kst+";
}

// The block-record count and the division point of an extended design.
std::string DescribeExtended(const std::vector<BYTE>& bytes, LONG colours) {
    if (colours < 0 || colours > KST_MAX_COLORS)
        return "colour count outside 0-78: record block not located";
    const size_t count = KST_HEADER_SIZE + 8 * static_cast<size_t>(colours);
    if (bytes.size() < count + 4)
        return "record count outside the file";
    const LONG records = ReadLong(bytes, count);
    if (records < 0 || records > KST_MAX_BLOCK_RECORDS)
        return "record count " + std::to_string(records) + " outside 0-78";
    const size_t division = count + 4 + KST_BLOCK_RECORD_SIZE * static_cast<size_t>(records);
    if (bytes.size() < division + 4)
        return std::to_string(records) + " block records, division point outside the file";
    return std::to_string(records) + " block records, division point " +
           std::to_string(ReadLong(bytes, division));
}

DesignReport Examine(const std::vector<BYTE>& bytes) {
    DesignReport report;
    std::memset(&report.header, 0, sizeof(report.header));
    std::memset(report.rects, 0, sizeof(report.rects));
    DWORD proper = 0;
    const BOOL structure = KstCheckStructure(bytes.data(), bytes.size(), FALSE, &proper);
    if (bytes.size() < KST_HEADER_SIZE)
        return report;
    report.hasHeader = true;
    std::memcpy(&report.header, bytes.data(), sizeof(report.header));
    std::memcpy(report.rects, bytes.data() + 36, sizeof(report.rects));
    report.properLength = proper;
    report.wellFormed = structure && bytes.size() >= proper;
    const tagKstHeader& h = report.header;
    report.withinLimits =
        h.nColors >= 1 && h.nColors <= KST_MAX_COLORS && h.nUnits >= 1 && h.nUnits <= KST_MAX_UNITS;

    // The entries of both tables that lie inside the file.
    const size_t wanted = h.nColors > 0 ? static_cast<size_t>(h.nColors) : 0;
    const size_t room = (bytes.size() - KST_HEADER_SIZE) / 4;
    for (size_t i = 0; i < wanted && i < room; ++i)
        report.colourTable.push_back(ReadLong(bytes, KST_HEADER_SIZE + 4 * i));
    for (size_t i = 0; i < wanted && wanted + i < room; ++i)
        report.typeTable.push_back(ReadLong(bytes, KST_HEADER_SIZE + 4 * (wanted + i)));

    report.sectionCount = KstReadTrailer(bytes.data(), bytes.size(), nullptr, 0);
    if (report.sectionCount > 0) {
        report.sections.resize(report.sectionCount);
        KstReadTrailer(bytes.data(), bytes.size(), report.sections.data(), report.sectionCount);
        for (const KST_SECTION& section : report.sections)
            report.sectionRecords.push_back(section.nType == KST_SECTION_BLOCKS
                                                ? KstSectionRecordCount(bytes.data(), &section)
                                                : -1);
    }
    return report;
}

std::string JsonString(const char* text, size_t size) {
    std::string out = "\"";
    for (size_t i = 0; i < size; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof(escaped), "\\u%04x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

template <typename T> std::string JsonList(const T* values, size_t count) {
    std::string out = "[";
    for (size_t i = 0; i < count; ++i)
        out += (i ? ", " : "") + std::to_string(values[i]);
    return out + "]";
}

void PrintJson(const DesignReport& r) {
    const tagKstHeader& h = r.header;
    std::string out = "{";
    auto field = [&out](const char* name, const std::string& value) {
        if (out.size() > 1)
            out += ", ";
        out += std::string("\"") + name + "\": " + value;
    };
    auto number = [&r](long long value) {
        return r.hasHeader ? std::to_string(value) : std::string("null");
    };
    field("stitch_offset", number(h.dwStitchOffset));
    field("flags", number(h.dwFlags));
    field("datetime", r.hasHeader ? JsonString(h.szDateTime, sizeof(h.szDateTime)) : "null");
    const int divide[2] = {h.byDivideNo1, h.byDivideNo2};
    field("divide", r.hasHeader ? JsonList(divide, 2) : "null");
    field("colours", number(h.nColors));
    field("units", number(h.nUnits));
    field("hoop", number(h.nHoop));
    field("extents", r.hasHeader ? JsonList(r.rects[0], 4) : "null");
    std::string marginList = "[";
    for (int i = 0; i < 4; ++i)
        marginList += (i ? ", " : "") + JsonList(r.rects[1 + i], 4);
    field("margins", r.hasHeader ? marginList + "]" : "null");
    field("colour_table", JsonList(r.colourTable.data(), r.colourTable.size()));
    field("type_table", JsonList(r.typeTable.data(), r.typeTable.size()));
    std::string sections = "[";
    for (size_t i = 0; i < r.sections.size(); ++i)
        sections += std::string(i ? ", " : "") +
                    "{\"type\": " + std::to_string(r.sections[i].nType) +
                    ", \"size\": " + std::to_string(r.sections[i].nSize) + "}";
    field("sections", r.sectionCount < 0 ? "null" : sections + "]");
    field("well_formed", r.wellFormed ? "true" : "false");
    field("within_limits", r.withinLimits ? "true" : "false");
    field("proper_length", number(r.properLength));
    std::printf("%s}\n", out.c_str());
}

void PrintTable(const char* name, const std::vector<LONG>& table, LONG wanted) {
    std::printf("%-16s", name);
    for (LONG value : table)
        std::printf(" %d", static_cast<int>(value));
    if (wanted > 0 && table.size() < static_cast<size_t>(wanted))
        std::printf(" (only %zu of %d entries lie in the file)", table.size(),
                    static_cast<int>(wanted));
    std::printf("\n");
}

void PrintText(const std::string& path, size_t size, const DesignReport& r) {
    std::printf("%s: %zu bytes\n", path.c_str(), size);
    if (!r.hasHeader) {
        std::printf("too short to hold a design header (%d bytes)\nload check: fails\n",
                    KST_HEADER_SIZE);
        return;
    }
    const tagKstHeader& h = r.header;
    std::printf("stitch offset    %u\n", static_cast<unsigned>(h.dwStitchOffset));
    std::printf("flags            %u\n", static_cast<unsigned>(h.dwFlags));
    std::string text;
    for (char c : h.szDateTime)
        text += (c >= 0x20 && c < 0x7F) ? c : '?';
    std::printf("date-time        %s\n", text.c_str());
    std::printf("divide numbers   %d %d\n", h.byDivideNo1, h.byDivideNo2);
    std::printf("colours          %d\n", static_cast<int>(h.nColors));
    std::printf("units            %d\n", static_cast<int>(h.nUnits));
    std::printf("hoop             %d\n", static_cast<int>(h.nHoop));
    const char* names[5] = {"extents", "margins A", "margins B", "margins C", "margins D"};
    const LONG(*rects)[4] = r.rects;
    for (int i = 0; i < 5; ++i)
        std::printf("%-16s %d %d %d %d\n", names[i], static_cast<int>(rects[i][0]),
                    static_cast<int>(rects[i][1]), static_cast<int>(rects[i][2]),
                    static_cast<int>(rects[i][3]));
    PrintTable("colour table", r.colourTable, h.nColors);
    PrintTable("type table", r.typeTable, h.nColors);
    if (r.sectionCount < 0) {
        std::printf("trailer          malformed (a directory or body outside the file)\n");
    } else if (r.sectionCount == 0) {
        std::printf("trailer          none\n");
    } else {
        std::printf("trailer          %d sections\n", r.sectionCount);
        for (size_t i = 0; i < r.sections.size(); ++i) {
            std::printf("  section type %d, %d bytes at offset %u",
                        static_cast<int>(r.sections[i].nType),
                        static_cast<int>(r.sections[i].nSize),
                        static_cast<unsigned>(r.sections[i].dwOffset));
            if (r.sections[i].nType == KST_SECTION_BLOCKS && r.sectionRecords[i] >= 0)
                std::printf(", %d block records", static_cast<int>(r.sectionRecords[i]));
            else if (r.sections[i].nType == KST_SECTION_BLOCKS)
                std::printf(", record count does not fit the section");
            std::printf("\n");
        }
    }
    if (r.extended)
        std::printf("extended form    %s\n", r.extendedText.c_str());
    std::printf("proper length    %u\n", static_cast<unsigned>(r.properLength));
    std::printf("load check       %s\n", r.wellFormed ? "passes" : "fails");
    std::printf("upper bounds     %s (colours 1-%d, units 1-%d)\n",
                r.withinLimits ? "kept" : "exceeded", KST_MAX_COLORS, KST_MAX_UNITS);
}

int RunInfo(const std::vector<std::string>& words) {
    host::Args args(words, {"json"});
    if (!args.Ok() || args.Positional().size() != 1) {
        std::fprintf(stderr, "usage: vantel info FILE [--json]\n");
        return 2;
    }
    const std::string& path = args.Positional()[0];
    std::vector<BYTE> bytes;
    std::error_code error; // a folder is not read: reading one fails by exception
    if (!std::filesystem::is_regular_file(path, error) || !host::ReadWholeFile(path, bytes)) {
        std::fprintf(stderr, "vantel info: cannot read %s\n", path.c_str());
        return 2;
    }
    DesignReport report = Examine(bytes);
    report.extended = report.hasHeader && IsExtendedName(path);
    if (report.extended)
        report.extendedText = DescribeExtended(bytes, report.header.nColors);
    if (args.Has("json"))
        PrintJson(report);
    else
        PrintText(path, bytes.size(), report);
    return report.wellFormed ? 0 : 1;
}

} // namespace

VANTEL_COMMAND("info", "info FILE [--json]", "show a design's header, tables, trailer and checks",
               RunInfo);
