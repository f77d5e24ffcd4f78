#include "machine/Connect.h"

#include "machine/Machine.h"
#include "machine/RemoteEndpoint.h"

#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>

namespace machine {

std::string DefaultStorageDir() {
    const char* data = std::getenv("XDG_DATA_HOME");
    std::string base;
    if (data != nullptr && *data != '\0') {
        base = data;
    } else {
        const char* home = std::getenv("HOME");
        base = std::string(home != nullptr && *home != '\0' ? home : ".") + "/.local/share";
    }
    return base + "/vantel/machine";
}

std::shared_ptr<Endpoint> ConnectMachine(const std::string& selection, std::string* error) {
    error->clear();
    if (selection == "none")
        return nullptr;
    if (selection.compare(0, 5, "unix:") == 0) {
        if (selection.size() == 5) {
            *error = "unix: needs a socket path";
            return nullptr;
        }
        return std::make_shared<RemoteEndpoint>(selection.substr(5));
    }
    std::string dir;
    if (selection.empty() || selection == "embedded")
        dir = DefaultStorageDir();
    else if (selection.compare(0, 9, "embedded:") == 0 && selection.size() > 9)
        dir = selection.substr(9);
    else {
        *error = "VANTEL_MACHINE must be embedded, embedded:DIR, unix:PATH or none, not '" +
                 selection + "'";
        return nullptr;
    }
    // One machine per storage directory in a process.
    static std::mutex mutex;
    static std::map<std::string, std::weak_ptr<Machine>> machines;
    std::error_code ec;
    std::string key = std::filesystem::absolute(dir, ec).lexically_normal().string();
    std::lock_guard<std::mutex> lock(mutex);
    if (auto existing = machines[key].lock())
        return existing;
    MachineOptions options;
    options.storageDir = dir;
    auto made = std::make_shared<Machine>(options);
    if (!made->Start(error))
        return nullptr;
    machines[key] = made;
    return made;
}

} // namespace machine
