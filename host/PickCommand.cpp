// vantel pick: "Receive a Design" (ReceiveDesignDialog) driven by a script instead of a user:
// the folder double-clicked, the design clicked, "Receive" pressed. The design handed over is
// written under its own name into a PC folder, with its companion when it came.
#include "BrowserHost.h"
#include "DesignBrowser.h"
#include "UserThread.h"

#include <cstdio>

namespace {

const char kUsage[] = "usage: vantel pick FOLDER DESIGN [--medium M] [--all] [--out DIR]";

// What a user does: into the folder, onto the design, "Receive". An empty text when it went
// as planned, else what was missing (the browser is then closed).
std::string Drive(const std::string& folder, const std::string& design) {
    host::DesignBrowser browser;
    if (!browser.WaitForWindow())
        return "the browser did not show";
    std::string problem;
    auto entry = [&](const std::string& name) {
        int index = -1;
        browser.WaitUntil(
            [&](const host::DesignBrowser::View& view) {
                index = host::DesignBrowser::Find(view, name);
                return index >= 0;
            },
            2000);
        return index;
    };
    const int folderIndex = entry(folder);
    if (folderIndex < 0) {
        problem = "no folder " + folder + " is listed in the root of the medium";
    } else {
        browser.DoubleClickEntry(folderIndex);
        const bool inside = browser.WaitUntil(
            [](const host::DesignBrowser::View& view) { return view.openCaption == "Up"; });
        const int designIndex = inside ? entry(design) : -1;
        if (!inside) {
            problem = "the folder " + folder + " could not be opened";
        } else if (designIndex < 0) {
            problem = "no design " + design + " is listed in " + folder +
                      " (designs without a companion are listed with --all)";
        } else {
            browser.ClickEntry(designIndex);
            if (browser.WaitUntil(
                    [](const host::DesignBrowser::View& view) { return view.receiveEnabled; }))
                browser.ClickReceive();
            else
                problem = "Receive stayed disabled";
        }
    }
    if (!problem.empty())
        browser.Close();
    return problem;
}

int RunPick(const std::vector<std::string>& words) {
    host::Args args(words, {"all"});
    const auto medium = host::MediumOption(args, "pick", 1);
    if (!medium)
        return 2;
    if (!args.Ok() || args.Positional().size() != 2) {
        std::fprintf(stderr, "vantel pick: %s\n", args.Ok() ? kUsage : args.Error().c_str());
        return 2;
    }
    const std::string out = args.Get("out").value_or(".");
    if (!host::CheckOutputFolder("pick", out))
        return 2;
    std::string problem;
    host::BrowserSession session(*medium, args.Has("all"));
    host::UserThread user([&] { problem = Drive(args.Positional()[0], args.Positional()[1]); });
    session.Run();
    user.Join();
    if (!problem.empty())
        std::fprintf(stderr, "vantel pick: %s\n", problem.c_str());
    return session.Report(out) && problem.empty() ? 0 : 1;
}

} // namespace

VANTEL_COMMAND("pick", "pick FOLDER DESIGN [--medium M] [--all] [--out DIR]",
               "receive one design (and its companion) through \"Receive a Design\", driven by "
               "automation",
               RunPick);
