// vantel rm: the "Delete Designs" dialog for designs of one folder, or the "Delete Folder"
// dialog for a folder with everything in it; "Delete" is pressed for the user (after a question
// at the prompt with --confirm; on Windows --confirm leaves the button to the user).
#include "FileHost.h"

#include "frame/VantelPrintUsb.h"

#include <cstdio>

namespace {

const char kUsage[] = "usage: vantel rm MACHINEPATH... [--medium M] [--confirm]\n"
                      "       vantel rm --folder MACHINEPATH [--medium M] [--confirm]";

int RunRm(const std::vector<std::string>& words) {
    host::Args args(words, {"confirm"});
    const auto medium = host::MediumOption(args, "rm", 1);
    if (!medium)
        return 2;
    const auto folder = args.Get("folder");
    const std::vector<std::string>& paths = args.Positional();
    if (!args.Ok() || (folder ? !paths.empty() : paths.empty())) {
        std::fprintf(stderr, "vantel rm: %s\n", args.Ok() ? kUsage : args.Error().c_str());
        return 2;
    }
    std::vector<FILEINFO> records(paths.size());
    for (size_t i = 0; i < paths.size(); ++i) {
        if (host::ParentPath(paths[i]) != host::ParentPath(paths[0])) {
            std::fprintf(stderr,
                         "vantel rm: the designs must lie in one folder (%s is not in %s)\n",
                         paths[i].c_str(), host::ParentPath(paths[0]).c_str());
            return 2;
        }
        if (!FileInfoSet(&records[i], paths[i].c_str())) {
            std::fprintf(stderr, "vantel rm: the path %s is longer than %d characters\n",
                         paths[i].c_str(), FILEINFO_SIZE - 1);
            return 2;
        }
    }
    const std::string question = folder ? "Delete the folder " + *folder + " with all it holds?"
                                        : "Delete " + std::to_string(paths.size()) + " designs?";
    const std::string caption = folder ? "Delete Folder" : "Delete Designs";
    if (args.Has("confirm") && !host::kDialogsOnDesktop && !host::AskYes(question)) {
        std::printf("rm: nothing deleted\n");
        return 1;
    }

    host::ComHost session;
    host::InterruptWatch interrupt(host::PressCancelOf(caption));
    int deleted = 0;
    // With --confirm on Windows "Delete" is the user's to press, in the dialog on the desktop.
    const bool pressDelete = !(host::kDialogsOnDesktop && args.Has("confirm"));
    host::UserThread user([&] {
        if (pressDelete)
            host::PressWhenEnabled(host::WaitForDialog(caption), IDC_STARTDEL_BTN);
    });
    INT_PTR result;
    if (folder) {
        CDeleteDlg dialog(*medium, folder->c_str());
        result = dialog.DoModal();
    } else {
        CDeleteDlg dialog(records.data(), static_cast<int>(records.size()), *medium, &deleted);
        result = dialog.DoModal();
    }
    user.Join();
    if (!folder)
        std::printf("%d of %zu designs deleted\n", deleted, paths.size());
    return host::DialogOutcome("rm", result, interrupt);
}

} // namespace

VANTEL_COMMAND("rm", "rm MACHINEPATH... | --folder MACHINEPATH [--medium M] [--confirm]",
               "delete designs of one machine folder, or a folder with all it holds, with the "
               "delete dialog's progress",
               RunRm);
