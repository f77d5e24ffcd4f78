#include "Terminal.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace host {

namespace {

const size_t kKept = 200;

// The settings to give back; one raw terminal at a time.
std::mutex s_savedLock;
bool s_saved = false;
termios s_original;

void WriteAll(const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t wrote = ::write(STDOUT_FILENO, text.data() + done, text.size() - done);
        if (wrote <= 0)
            return;
        done += static_cast<size_t>(wrote);
    }
}

void RestoreSaved() {
    std::lock_guard<std::mutex> guard(s_savedLock);
    if (!s_saved)
        return;
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &s_original);
    WriteAll("\x1b[0m\x1b[?25h");
    s_saved = false;
}

// One byte when it comes within `timeoutMs`; -1 otherwise.
int ReadByte(int timeoutMs) {
    pollfd input{STDIN_FILENO, POLLIN, 0};
    if (::poll(&input, 1, timeoutMs) <= 0)
        return -1;
    unsigned char byte = 0;
    return ::read(STDIN_FILENO, &byte, 1) == 1 ? byte : -1;
}

// The rest of an escape sequence after ESC (a lone ESC is the Escape key).
int EscapeSequence() {
    const int kind = ReadByte(50);
    if (kind != '[' && kind != 'O')
        return kind < 0 ? kKeyEscape : kNoKey;
    std::string parameters;
    for (;;) {
        const int byte = ReadByte(50);
        if (byte < 0)
            return kNoKey;
        if (byte >= '0' && byte <= '9') {
            parameters.push_back(static_cast<char>(byte));
            continue;
        }
        if (byte == ';')
            continue;
        switch (byte) {
        case 'A':
            return kKeyUp;
        case 'B':
            return kKeyDown;
        case 'H':
            return kKeyHome;
        case 'F':
            return kKeyEnd;
        case '~':
            if (parameters == "1" || parameters == "7")
                return kKeyHome;
            if (parameters == "4" || parameters == "8")
                return kKeyEnd;
            if (parameters == "5")
                return kKeyPageUp;
            if (parameters == "6")
                return kKeyPageDown;
            return kNoKey;
        default:
            return kNoKey;
        }
    }
}

} // namespace

bool AtTerminal() {
    return ::isatty(STDIN_FILENO) != 0 && ::isatty(STDOUT_FILENO) != 0;
}

RawTerminal::RawTerminal() {
    termios original;
    if (::tcgetattr(STDIN_FILENO, &original) != 0)
        return;
    {
        std::lock_guard<std::mutex> guard(s_savedLock);
        if (s_saved)
            return;
        s_original = original;
        s_saved = true;
    }
    static const bool s_atExit = std::atexit(RestoreSaved) == 0;
    (void)s_atExit;
    termios raw = original;
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | IEXTEN);
    raw.c_iflag &= ~static_cast<tcflag_t>(IXON | ICRNL | INLCR | IGNCR);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    raw.c_cc[VSUSP] = _POSIX_VDISABLE;
    raw.c_cc[VQUIT] = _POSIX_VDISABLE;
    if (::tcsetattr(STDIN_FILENO, TCSAFLUSH, &raw) != 0) {
        RestoreSaved();
        return;
    }
    WriteAll("\x1b[?25l\x1b[H\x1b[2J");
    m_ok = true;
}

RawTerminal::~RawTerminal() {
    Restore();
}

void RawTerminal::Restore() {
    if (m_ok)
        RestoreSaved();
    m_ok = false;
}

int RawTerminal::ReadKey(int timeoutMs) {
    const int byte = ReadByte(timeoutMs);
    return byte == kKeyEscape ? EscapeSequence() : byte;
}

void RawTerminal::Size(int& rows, int& columns) {
    winsize size{};
    const bool known = ::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_row > 0;
    rows = known ? size.ws_row : 24;
    columns = known && size.ws_col > 0 ? size.ws_col : 80;
}

void RawTerminal::Draw(const std::vector<std::string>& lines) {
    std::string frame = "\x1b[H";
    for (size_t i = 0; i < lines.size(); ++i)
        frame += lines[i] + "\x1b[K" + (i + 1 < lines.size() ? "\r\n" : "");
    WriteAll(frame + "\x1b[J");
}

LineLog::LineLog() {
    cookie_io_functions_t functions{};
    functions.write = &LineLog::Write;
    m_file = ::fopencookie(this, "w", functions);
    if (m_file != nullptr)
        std::setvbuf(m_file, nullptr, _IONBF, 0);
}

LineLog::~LineLog() {
    if (m_file != nullptr)
        std::fclose(m_file);
}

ssize_t LineLog::Write(void* cookie, const char* data, size_t size) {
    LineLog* log = static_cast<LineLog*>(cookie);
    std::lock_guard<std::mutex> guard(log->m_lock);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == '\r') {
            log->m_partial.clear();
        } else if (data[i] == '\n') {
            log->m_lines.push_back(log->m_partial);
            log->m_partial.clear();
        } else {
            log->m_partial.push_back(data[i]);
        }
    }
    if (log->m_lines.size() > kKept) {
        const size_t drop = log->m_lines.size() - kKept;
        log->m_lines.erase(log->m_lines.begin(), log->m_lines.begin() + drop);
        log->m_dropped += drop;
    }
    return static_cast<ssize_t>(size);
}

std::vector<std::string> LineLog::Tail(size_t count, size_t* total) const {
    std::lock_guard<std::mutex> guard(m_lock);
    std::vector<std::string> lines(m_lines.begin(), m_lines.end());
    if (!m_partial.empty())
        lines.push_back(m_partial);
    if (total != nullptr)
        *total = m_dropped + m_lines.size();
    if (lines.size() > count)
        lines.erase(lines.begin(), lines.end() - static_cast<std::ptrdiff_t>(count));
    return lines;
}

std::vector<std::string> LineLog::Since(size_t from) const {
    std::lock_guard<std::mutex> guard(m_lock);
    std::vector<std::string> lines;
    for (size_t i = std::max(from, m_dropped); i < m_dropped + m_lines.size(); ++i)
        lines.push_back(m_lines[i - m_dropped]);
    if (!m_partial.empty())
        lines.push_back(m_partial);
    return lines;
}

} // namespace host
