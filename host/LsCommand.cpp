// vantel ls: lists a folder of a machine medium through the folder-list dialog
// (CIntormationDlg's DirectoryChange), folders first, one line per entry (or JSON).
#include "ComHost.h"
#include "command/FolderInfo.h"
#include "frame/VantelPrintUsb.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

const char kUsage[] = "usage: vantel ls [FOLDER] [--medium M] [--json]";

struct Record {
    long kind, width, height;
    std::string name;
};

std::string JsonText(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

int RunLs(const std::vector<std::string>& words) {
    host::Args args(words, {"json"});
    const auto medium = host::MediumOption(args, "ls", 1);
    if (!medium)
        return 2;
    if (!args.Ok() || args.Positional().size() > 1) {
        std::fprintf(stderr, "vantel ls: %s\n", args.Ok() ? kUsage : args.Error().c_str());
        return 2;
    }
    const std::string folder = args.Positional().empty() ? "\\EMB" : args.Positional()[0];
    const bool json = args.Has("json");

    std::vector<Record> records;
    INT_PTR result;
    {
        host::ComHost session(json ? stderr : stdout);
        CIntormationDlg dialog(*medium, folder.c_str());
        result = dialog.DoModal();
        const BYTE* record = dialog.GetFolderInfo();
        for (int i = 0; result == IDOK && i < dialog.GetFileCount(); ++i) {
            FOLDERINFO_RECORD read;
            record = FolderInfoRead(record, &read);
            records.push_back(
                Record{read.nKind, read.nWidth, read.nHeight, static_cast<LPCSTR>(read.strName)});
        }
    }
    if (result != IDOK) {
        std::fprintf(stderr, "vantel ls: %s on medium %u could not be listed\n", folder.c_str(),
                     *medium);
        return 1;
    }
    std::stable_sort(records.begin(), records.end(), [](const Record& a, const Record& b) {
        return (a.kind == FOLDERINFO_KIND_FOLDER) > (b.kind == FOLDERINFO_KIND_FOLDER);
    });
    if (json) {
        std::printf("[");
        for (size_t i = 0; i < records.size(); ++i) {
            const Record& r = records[i];
            std::printf("%s\n  {\"name\": %s, \"folder\": %s, \"kind\": %ld, \"width\": %ld, "
                        "\"height\": %ld}",
                        i ? "," : "", JsonText(r.name).c_str(),
                        r.kind == FOLDERINFO_KIND_FOLDER ? "true" : "false", r.kind, r.width,
                        r.height);
        }
        std::printf("\n]\n");
        return 0;
    }
    std::printf("%s on medium %u: %zu entries\n", folder.c_str(), *medium, records.size());
    for (const Record& r : records) {
        if (r.kind == FOLDERINFO_KIND_FOLDER)
            std::printf("  folder                      %s\\\n", r.name.c_str());
        else
            std::printf("  design  kind %-3ld %6ld x %-6ld %s\n", r.kind, r.width, r.height,
                        r.name.c_str());
    }
    return 0;
}

} // namespace

VANTEL_COMMAND("ls", "ls [FOLDER] [--medium M] [--json]",
               "list a machine folder (default \\EMB) through the folder-list dialog, folders "
               "first",
               RunLs);
