// What an interactive screen of the host needs from the terminal: keys one at a time without
// echo (the terminal's own settings given back however the program ends), the terminal's size,
// and a log that takes what the presenter prints, so that a screen can show its recent lines
// instead of being scrolled away by them.
#pragma once

#include <cstdio>
#include <mutex>
#include <sys/types.h>
#include <string>
#include <vector>

namespace host {

// The keys a screen reads; any other key is its own character.
enum Key : int {
    kNoKey = -1,
    kKeyEscape = 27,
    kKeyUp = 0x100,
    kKeyDown,
    kKeyHome,
    kKeyEnd,
    kKeyPageUp,
    kKeyPageDown,
};

// Standard input in raw mode (no echo, no line editing, no flow control; Ctrl-C still sends
// its signal, Ctrl-Z and Ctrl-\ do nothing) with the cursor hidden, for the object's life. The
// settings are given back when the object goes, and at exit should the program end another way.
class RawTerminal {
public:
    RawTerminal();
    ~RawTerminal();
    RawTerminal(const RawTerminal&) = delete;
    RawTerminal& operator=(const RawTerminal&) = delete;

    bool Ok() const { return m_ok; }
    // Gives the settings back now (once; the destructor then does nothing).
    void Restore();
    // The next key, or kNoKey when none came within `timeoutMs` (or the input has ended).
    int ReadKey(int timeoutMs);
    // Rows and columns (24 by 80 when the terminal does not say).
    static void Size(int& rows, int& columns);
    // Draws `lines` from the top left corner over what was there, the rest cleared.
    static void Draw(const std::vector<std::string>& lines);

private:
    bool m_ok = false;
};

// Whether standard input and output are both a terminal.
bool AtTerminal();

// A stream whose lines are kept instead of printed (a carriage return starts its line anew,
// as a bar drawn in place does).
class LineLog {
public:
    LineLog();
    ~LineLog();
    LineLog(const LineLog&) = delete;
    LineLog& operator=(const LineLog&) = delete;

    FILE* File() const { return m_file; }
    // The last `count` lines (the unfinished one included); `total` is how many have come.
    std::vector<std::string> Tail(size_t count, size_t* total = nullptr) const;
    // The lines after the first `from` that are still kept.
    std::vector<std::string> Since(size_t from) const;

private:
    static ssize_t Write(void* cookie, const char* data, size_t size);

    mutable std::mutex m_lock;
    std::vector<std::string> m_lines; // the last kKept lines
    size_t m_dropped = 0;             // lines dropped from the front
    std::string m_partial;
    FILE* m_file;
};

} // namespace host
