// vantel browse: "Receive a Design" (ReceiveDesignDialog) at the terminal, for a person. The
// browser is drawn as a screen of text and redrawn whenever it changes; the keys act on it as
// the mouse would (a click on an entry, a press of a button). Below the screen stand the last
// lines of the nested dialogs and message boxes, as the presenter tells them.
#include "BrowserHost.h"
#include "DesignBrowser.h"
#include "Terminal.h"
#include "UserThread.h"

#include "resources/resource.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <thread>

namespace {

const size_t kLogLines = 6;

using View = host::DesignBrowser::View;

std::string Fit(const std::string& line, int columns) {
    return line.size() > static_cast<size_t>(columns) ? line.substr(0, columns) : line;
}

const char* KindOf(int image) {
    switch (image) {
    case DESIGN_IMAGE_FOLDER:
        return "folder  ";
    case DESIGN_IMAGE_EXTENDED:
        return "design+ ";
    case DESIGN_IMAGE_PLAIN:
        return "design  ";
    default:
        return "?       ";
    }
}

std::string Button(const std::string& key, const std::string& caption, bool enabled) {
    return "[" + key + "] " + caption + (enabled ? "" : " (disabled)");
}

// The first entry selected; -1 for none.
int Selected(const View& view) {
    for (size_t i = 0; i < view.entries.size(); ++i)
        if (view.entries[i].selected)
            return static_cast<int>(i);
    return -1;
}

// The medium whose label is shown ("Built-in:..." for the button "Built-in"); 0 for none.
int ShownMedium(const View& view) {
    const std::string shown = view.label.substr(0, view.label.find(':'));
    for (int i = 0; i < 3; ++i)
        if (!view.media[i].empty() && view.label.find(':') != std::string::npos &&
            _stricmp(shown.c_str(), view.media[i].c_str()) == 0)
            return i + 1;
    return 0;
}

// The screen: the browser as it stands, then the presenter's last lines.
std::vector<std::string> Screen(const View& view, const std::vector<std::string>& log, int rows,
                                int columns) {
    std::vector<std::string> lines;
    auto add = [&](const std::string& line) { lines.push_back(Fit(line, columns)); };
    add("Receive a Design");
    std::string media = " ";
    for (int i = 0; i < 3; ++i)
        media += " [" + std::to_string(i + 1) + "] " + view.media[i] +
                 (ShownMedium(view) == i + 1 ? " *  " : "    ");
    add(media);
    add("  Folder: " + view.label);
    add("  " + std::string(std::max(0, std::min(columns, 60) - 2), '-'));
    // The list: a window of rows that holds the selection.
    const int room = std::max(3, rows - 10 - static_cast<int>(kLogLines));
    const int count = static_cast<int>(view.entries.size());
    const int selected = Selected(view);
    const int first = std::max(0, std::min(selected - room / 2, count - room));
    for (int row = 0; row < room; ++row) {
        const int i = first + row;
        if (i >= count) {
            add(count == 0 && row == 0 ? "    (nothing listed)" : "");
            continue;
        }
        const host::DesignBrowser::Entry& entry = view.entries[i];
        std::string line =
            Fit(std::string(entry.selected ? "  > " : "    ") + KindOf(entry.image) + entry.name,
                columns);
        lines.push_back(entry.selected ? "\x1b[7m" + line + "\x1b[0m" : line);
    }
    add("  " + std::string(std::max(0, std::min(columns, 60) - 2), '-') +
        (count > room ? " " + std::to_string(count) + " entries" : ""));
    add(std::string("  [") + (view.rzOnly ? "x" : " ") + "] Show RZ design only   (space)");
    add("  " + Button("o", view.openCaption, view.openEnabled) + "   " +
        Button("Enter", "Receive", view.receiveEnabled) + "   " + Button("q", "Close", true));
    add(view.busy ? "  (a dialog is up: keys wait until it ends; Ctrl-C cancels)"
                  : "  up/down select, 1 2 3 medium, o open/up, space filter, Enter receive, "
                    "q/Esc close");
    add("");
    for (const std::string& line : log)
        add("  | " + line);
    return lines;
}

// Acts on one key as the user's mouse would; waits (bounded) until the browser has taken a
// click on the list, so that the next key sees the entry it selected.
void Act(int key, const View& view, host::DesignBrowser& browser) {
    const int count = static_cast<int>(view.entries.size());
    const int selected = Selected(view);
    int target = -1;
    switch (key) {
    case host::kKeyUp:
        target = selected < 0 ? 0 : std::max(0, selected - 1);
        break;
    case host::kKeyDown:
        target = selected < 0 ? 0 : std::min(count - 1, selected + 1);
        break;
    case host::kKeyHome:
        target = 0;
        break;
    case host::kKeyEnd:
        target = count - 1;
        break;
    case host::kKeyPageUp:
        target = std::max(0, selected - 10);
        break;
    case host::kKeyPageDown:
        target = std::min(count - 1, selected + 10);
        break;
    case '\r':
    case '\n':
        if (view.receiveEnabled)
            browser.ClickReceive();
        return;
    case 'o':
    case 'O':
        if (view.openEnabled)
            browser.ClickOpen();
        return;
    case '1':
    case '2':
    case '3':
        browser.ClickMedium(key - '0');
        return;
    case ' ':
        browser.ClickRzOnly();
        return;
    case 'q':
    case 'Q':
    case host::kKeyEscape:
        browser.Close();
        return;
    default:
        return;
    }
    if (target < 0 || target >= count)
        return;
    browser.ClickEntry(target);
    browser.WaitUntil(
        [target](const View& now) {
            return target < static_cast<int>(now.entries.size()) && now.entries[target].selected;
        },
        1000);
}

// The user's side, on a thread of its own while the main thread runs the browser: draws the
// screen as it changes and turns keys into clicks. Ctrl-C (`interrupted`) cancels a nested
// dialog that can be cancelled, then closes the browser. Returns how many log lines the last
// screen showed the end of. Gives up waiting for the browser when `ended` says the call ended.
size_t Interact(host::RawTerminal& terminal, const host::LineLog& log,
                const std::atomic<bool>& interrupted, const std::atomic<bool>& ended) {
    host::DesignBrowser browser;
    size_t shown = 0;
    while (!browser.WaitForWindow(50))
        if (ended)
            return shown;
    std::vector<std::string> drawn;
    while (browser.IsOpen()) {
        const View view = browser.Read();
        int rows = 0, columns = 0;
        host::RawTerminal::Size(rows, columns);
        const std::vector<std::string> screen =
            Screen(view, log.Tail(kLogLines, &shown), rows, columns);
        if (screen != drawn)
            host::RawTerminal::Draw(drawn = screen);
        if (interrupted) {
            if (view.busy)
                browser.CancelNested();
            else
                browser.Close();
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            continue;
        }
        if (view.busy) {
            std::this_thread::sleep_for(
                std::chrono::milliseconds(20)); // keys typed now wait for the dialog to end
            continue;
        }
        const int key = terminal.ReadKey(30);
        if (key == 3) // Ctrl-C, should it come as a key
            browser.Close();
        else if (key != host::kNoKey)
            Act(key, view, browser);
    }
    return shown;
}

int RunBrowse(const std::vector<std::string>& words) {
    const auto options = host::ReadBrowseOptions(words);
    if (!options)
        return 2;
    if (!host::AtTerminal()) {
        std::fprintf(stderr, "vantel browse: needs a terminal (standard input and output); in a "
                             "script use vantel pick FOLDER DESIGN\n");
        return 2;
    }

    host::LineLog log;
    if (log.File() == nullptr) {
        std::fprintf(stderr, "vantel browse: cannot set up the screen\n");
        return 1;
    }
    std::atomic<bool> interrupted{false};
    host::InterruptWatch watch([&](const host::InterruptWatch&) { interrupted = true; });
    std::atomic<bool> ended{false};
    size_t shown = 0;
    {
        host::RawTerminal terminal;
        if (!terminal.Ok()) {
            std::fprintf(stderr, "vantel browse: cannot put the terminal into raw mode\n");
            return 1;
        }
        host::BrowserSession session(options->medium, options->all, log.File());
        host::UserThread user([&] { shown = Interact(terminal, log, interrupted, ended); });
        session.Run();
        ended = true;
        user.Join();
        // The terminal as it was, then what the presenter said after the last screen.
        terminal.Restore();
        std::printf("\n");
        for (const std::string& line : log.Since(shown))
            std::printf("  | %s\n", line.c_str());
        if (interrupted)
            std::printf("browse: interrupted (Ctrl-C): what was under way was cancelled, the "
                        "browser closed\n");
        return session.Report(options->out) ? 0 : 1;
    }
}

} // namespace

VANTEL_COMMAND("browse", "browse [--medium M] [--all] [--out DIR]",
               "browse the machine's media in \"Receive a Design\" at the terminal and receive a "
               "design (and its companion)",
               RunBrowse);
