// Shared helpers of the tests.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

// A fresh temporary folder, removed with everything in it when the object goes away.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

// Polls `condition` until it holds or `realTimeoutMs` of real time have passed.
bool WaitFor(const std::function<bool()>& condition, int realTimeoutMs = 10000);

// The bytes of a file; nothing when it cannot be opened (so a missing file and an empty one
// differ).
std::optional<std::vector<uint8_t>> ReadFileBytes(const std::string& path);
// Creates or replaces a file with the bytes.
void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);

// Runs a shell command line; returns its exit status and what it printed on stdout.
int RunCommand(const std::string& commandLine, std::string* output = nullptr);

} // namespace testsupport
