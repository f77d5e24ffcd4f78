// vantel send: sends design files to a folder of the machine with the "Send Designs" dialog
// (CSendDlg): by their PC paths, or read into memory first with --direct. Designs of other
// kinds (.kst+, .dst, .exp) are converted in memory, so they always go in direct mode.
#include "ComHost.h"
#include "DesignFiles.h"
#include "frame/VantelPrintUsb.h"

#include <cstdio>
#include <list>

namespace {

const char kUsage[] = "usage: vantel send FILE... --to FOLDER [--medium M] [--direct]";

int RunSend(const std::vector<std::string>& words) {
    host::Args args(words, {"direct"});
    const auto medium = host::MediumOption(args, "send", 1);
    if (!medium)
        return 2;
    const auto folder = args.Get("to");
    if (!args.Ok() || args.Positional().empty() || !folder) {
        std::fprintf(stderr, "vantel send: %s\n", args.Ok() ? kUsage : args.Error().c_str());
        return 2;
    }
    const std::vector<std::string>& files = args.Positional();
    bool direct = args.Has("direct");
    for (const std::string& file : files) {
        if (!direct && host::KindOfPath(file) != host::DesignKind::Plain) {
            std::printf("(%s is converted in memory: the designs are sent from memory)\n",
                        file.c_str());
            direct = true;
        }
    }

    // Direct mode: the designs in memory, each named on the machine after its file.
    std::list<host::MachineDesign> contents;
    std::list<CFileData> designs;
    CObList list;
    // File mode: the paths in FILEINFO slots.
    std::vector<FILEINFO> records(direct ? 0 : files.size());
    for (size_t i = 0; i < files.size(); ++i) {
        const std::string& file = files[i];
        if (!direct) {
            if (!FileInfoSet(&records[i], file.c_str())) {
                std::fprintf(stderr, "vantel send: the path %s is longer than %d characters\n",
                             file.c_str(), FILEINFO_SIZE - 1);
                return 2;
            }
            continue;
        }
        host::MachineDesign& loaded = contents.emplace_back();
        const std::string problem = host::LoadDesignForMachine(file, loaded);
        if (!problem.empty()) {
            std::fprintf(stderr, "vantel send: %s; nothing was sent\n", problem.c_str());
            return 1;
        }
        CFileData& design = designs.emplace_back();
        design.m_pData = reinterpret_cast<DWORD_PTR>(loaded.bytes.data());
        design.m_nLength = static_cast<int>(loaded.bytes.size());
        design.m_strFileName = loaded.name.c_str();
        list.AddTail(reinterpret_cast<CObject*>(&design));
    }

    host::ComHost session;
    host::InterruptWatch interrupt(host::PressCancelOf("Send Designs"));
    int sent = 0;
    INT_PTR result;
    if (direct) {
        CSendDlg dialog(&list, *medium, folder->c_str(), &sent);
        result = dialog.DoModal();
    } else {
        CSendDlg dialog(records.data(), static_cast<int>(records.size()), *medium, folder->c_str());
        result = dialog.DoModal();
    }
    if (direct)
        std::printf("%d of %zu designs sent to %s on medium %u\n", sent, files.size(),
                    folder->c_str(), *medium);
    return host::DialogOutcome("send", result, interrupt);
}

} // namespace

VANTEL_COMMAND("send", "send FILE... --to FOLDER [--medium M] [--direct]",
               "send design files into a machine folder with the progress dialog (--direct: "
               "read into memory first, and counted)",
               RunSend);
