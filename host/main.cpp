// vantel: the command-line host of the library. Every capability of the library is reachable
// from here; the commands are registered by their own source files.
#include "Command.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace host {

std::vector<Command>& CommandTable() {
    static std::vector<Command> table;
    return table;
}

bool RegisterCommand(const Command& command) {
    CommandTable().push_back(command);
    return true;
}

const std::vector<Command>& Commands() {
    return CommandTable();
}

Args::Args(const std::vector<std::string>& words, const std::vector<std::string>& flags) {
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (word.size() > 2 && word.compare(0, 2, "--") == 0) {
            std::string name = word.substr(2);
            bool isFlag = false;
            for (const std::string& flag : flags)
                isFlag = isFlag || flag == name;
            if (isFlag) {
                m_options[name] = "";
            } else if (i + 1 < words.size()) {
                m_options[name] = words[++i];
            } else {
                m_error = "option --" + name + " needs a value";
            }
        } else {
            m_positional.push_back(word);
        }
    }
}

std::optional<std::string> Args::Get(const std::string& name) const {
    auto it = m_options.find(name);
    if (it == m_options.end())
        return std::nullopt;
    return it->second;
}

std::optional<long long> Args::GetNumber(const std::string& name, long long fallback) {
    auto text = Get(name);
    if (!text)
        return fallback;
    char* end = nullptr;
    errno = 0;
    long long value = std::strtoll(text->c_str(), &end, 10);
    if (text->empty() || *end != '\0' || errno != 0) {
        m_error = "--" + name + " takes a whole number, not '" + *text + "'";
        return std::nullopt;
    }
    return value;
}

bool ReadWholeFile(const std::string& path, std::vector<unsigned char>& bytes) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return false; // a folder, a device or nothing at all: not a file to read
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool WriteWholeFile(const std::string& path, const void* data, size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out)
        return false;
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    out.close();
    return !out.fail();
}

} // namespace host

static void PrintUsage(FILE* to) {
    std::fprintf(to, "usage: vantel COMMAND [ARGS...]\n\ncommands:\n");
    for (const host::Command& command : host::Commands())
        std::fprintf(to, "  %-52s %s\n", command.usage, command.summary);
}

int main(int argc, char** argv) {
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "help") == 0) {
        PrintUsage(argc < 2 ? stderr : stdout);
        return argc < 2 ? 2 : 0;
    }
    std::vector<std::string> args(argv + 2, argv + argc);
    for (const host::Command& command : host::Commands()) {
        if (std::strcmp(command.name, argv[1]) != 0)
            continue;
        for (const std::string& arg : args) {
            if (arg == "--help" || arg == "-h") {
                std::printf("usage: vantel %s\n\n%s\n%s", command.usage, command.summary,
                            command.details != nullptr ? command.details : "");
                return 0;
            }
        }
        return command.run(args);
    }
    std::fprintf(stderr, "vantel: unknown command '%s'\n", argv[1]);
    PrintUsage(stderr);
    return 2;
}
