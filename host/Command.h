// The vantel host's commands. Each command lives in its own source file and registers itself
// with VANTEL_COMMAND, so that the dispatcher in main.cpp never needs to know the list.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace host {

// Parsed command line of one command: positional words and --name value / --flag options.
class Args {
public:
    // Options named in `flags` take no value; every other --option takes the next word.
    Args(const std::vector<std::string>& words, const std::vector<std::string>& flags);

    bool Ok() const { return m_error.empty(); }
    const std::string& Error() const { return m_error; }
    const std::vector<std::string>& Positional() const { return m_positional; }
    bool Has(const std::string& name) const { return m_options.count(name) != 0; }
    std::optional<std::string> Get(const std::string& name) const;
    // A whole decimal number (sign allowed); sets an error when it is not one.
    std::optional<long long> GetNumber(const std::string& name, long long fallback);

private:
    std::vector<std::string> m_positional;
    std::map<std::string, std::string> m_options;
    std::string m_error;
};

using CommandFunction = int (*)(const std::vector<std::string>& args);

struct Command {
    const char* name;
    const char* usage;
    const char* summary;
    CommandFunction run;
    const char* details = nullptr; // more for --help, after the usage and the summary
};

// Registers a command; returns true so it can initialise a static.
bool RegisterCommand(const Command& command);
const std::vector<Command>& Commands();

// Reads a whole file; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::vector<unsigned char>& bytes);
// Writes a whole file; false when it cannot be created or written.
bool WriteWholeFile(const std::string& path, const void* data, size_t size);

} // namespace host

#define VANTEL_COMMAND_CONCAT2(a, b) a##b
#define VANTEL_COMMAND_CONCAT(a, b) VANTEL_COMMAND_CONCAT2(a, b)
#define VANTEL_COMMAND_WITH_DETAILS(name, usage, summary, details, function)                       \
    static const bool VANTEL_COMMAND_CONCAT(s_registered_, __LINE__) =                             \
        host::RegisterCommand(host::Command{name, usage, summary, function, details})
#define VANTEL_COMMAND(name, usage, summary, function)                                             \
    static const bool VANTEL_COMMAND_CONCAT(s_registered_, __LINE__) =                             \
        host::RegisterCommand(host::Command{name, usage, summary, function})
