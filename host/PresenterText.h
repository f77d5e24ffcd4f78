// What the terminal presenter writes, as plain functions of what it is shown: one-line status
// texts, the progress bar, message boxes, and the choice of a message box's answer.
#pragma once

#include <emu_desktop.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <string>

namespace host {

// A window text on one line: every run of line breaks and tabs becomes one blank, and
// blanks at either end go.
inline std::string OneLine(const std::string& text) {
    std::string line;
    bool pendingBlank = false;
    for (char ch : text) {
        if (ch == '\r' || ch == '\n' || ch == '\t' || ch == ' ') {
            pendingBlank = !line.empty();
            continue;
        }
        if (pendingBlank)
            line.push_back(' ');
        pendingBlank = false;
        line.push_back(ch);
    }
    return line;
}

// "[#####.....]  50%" for a bar at `position` in [lower, upper], `width` cells wide. A range
// without room (upper <= lower) draws an empty bar at 0%.
inline std::string ProgressBar(int position, int lower, int upper, int width = 30) {
    long long span = static_cast<long long>(upper) - lower;
    long long done = static_cast<long long>(position) - lower;
    if (span <= 0)
        done = 0, span = 1;
    done = std::max(0LL, std::min(done, span));
    int filled = static_cast<int>(done * width / span);
    int percent = static_cast<int>(done * 100 / span);
    std::string bar = "[" + std::string(filled, '#') + std::string(width - filled, '.') + "] ";
    std::string number = std::to_string(percent);
    return bar + std::string(3 - std::min<size_t>(3, number.size()), ' ') + number + "%";
}

// "Caption: text", the text's further lines indented by two blanks.
inline std::string MessageBoxLine(const std::string& caption, const std::string& text) {
    std::string line = caption + ": ";
    for (size_t i = 0; i < text.size(); ++i) {
        char ch = text[i];
        if (ch == '\r')
            continue;
        line.push_back(ch);
        if (ch == '\n')
            line += "  ";
    }
    return line;
}

inline const char* ButtonName(int id) {
    switch (id) {
    case 1:
        return "OK";
    case 2:
        return "Cancel";
    case 3:
        return "Abort";
    case 4:
        return "Retry";
    case 5:
        return "Ignore";
    case 6:
        return "Yes";
    case 7:
        return "No";
    case 10:
        return "Try Again";
    case 11:
        return "Continue";
    default:
        return "?";
    }
}

inline bool HasButton(const emu::MessageBoxInfo& box, int id) {
    return std::find(box.buttons.begin(), box.buttons.end(), id) != box.buttons.end();
}

// The answer to a message box: a question with Yes and No is asked through `ask` when someone
// is at the terminal (`interactive`); `ask` gives a line ("y", "yes", "n", "no", any case), or
// nothing at the end of the input. Anything else, and every other box, gets the box's default
// button.
inline int ChooseAnswer(const emu::MessageBoxInfo& box, bool interactive,
                        const std::function<bool(std::string&)>& ask) {
    if (!interactive || !HasButton(box, 6) || !HasButton(box, 7))
        return box.defaultButton;
    std::string reply;
    while (ask(reply)) {
        std::string word = OneLine(reply);
        std::transform(word.begin(), word.end(), word.begin(),
                       [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
        if (word == "y" || word == "yes")
            return 6;
        if (word == "n" || word == "no")
            return 7;
        if (word.empty())
            return box.defaultButton;
    }
    return box.defaultButton;
}

} // namespace host
