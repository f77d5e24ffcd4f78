// vantel receive: copies designs from the machine into a PC folder with the "Receive Designs"
// dialog (CReceiveDlg). Each lands there as "temp" with its own extension, the name the
// library gives every received design.
#include "ComHost.h"
#include "frame/VantelPrintUsb.h"

#include <cstdio>
#include <filesystem>

namespace {

const char kUsage[] = "usage: vantel receive MACHINEPATH... --to DIR [--medium M]";

// Where the library writes a received design: "temp" with the design's extension.
std::string LandingName(const std::string& machinePath) {
    const size_t name = machinePath.find_last_of("\\/");
    const size_t dot = machinePath.find_last_of('.');
    if (dot == std::string::npos || (name != std::string::npos && dot < name))
        return "temp";
    return "temp" + machinePath.substr(dot);
}

int RunReceive(const std::vector<std::string>& words) {
    host::Args args(words, {});
    const auto medium = host::MediumOption(args, "receive", 1);
    if (!medium)
        return 2;
    const auto folder = args.Get("to");
    if (!args.Ok() || args.Positional().empty() || !folder) {
        std::fprintf(stderr, "vantel receive: %s\n", args.Ok() ? kUsage : args.Error().c_str());
        return 2;
    }
    const std::vector<std::string>& names = args.Positional();
    std::vector<FILEINFO> records(names.size());
    for (size_t i = 0; i < names.size(); ++i) {
        if (!FileInfoSet(&records[i], names[i].c_str())) {
            std::fprintf(stderr,
                         "vantel receive: the machine path %s is longer than %d characters\n",
                         names[i].c_str(), FILEINFO_SIZE - 1);
            return 2;
        }
    }
    if (!host::CheckOutputFolder("receive", *folder))
        return 2;

    host::ComHost session;
    host::InterruptWatch interrupt(host::PressCancelOf("Receive Designs"));
    int received = 0;
    CReceiveDlg dialog(records.data(), static_cast<int>(records.size()), *medium, folder->c_str(),
                       &received);
    const INT_PTR result = dialog.DoModal();
    for (int i = 0; i < received; ++i) {
        const std::string landing = LandingName(names[i]);
        bool replaced = false;
        for (int later = i + 1; later < received; ++later)
            replaced = replaced || LandingName(names[later]) == landing;
        std::printf("%s -> %s%s\n", names[i].c_str(),
                    (std::filesystem::path(*folder) / landing).string().c_str(),
                    replaced ? " (replaced by a later design)" : "");
    }
    std::printf("%d of %zu designs received\n", received, names.size());
    return host::DialogOutcome("receive", result, interrupt);
}

} // namespace

VANTEL_COMMAND("receive", "receive MACHINEPATH... --to DIR [--medium M]",
               "receive designs into a PC folder with the progress dialog (each as temp.EXT)",
               RunReceive);
