// The machine's environment for the Win32 emulation's tests: an environment variable set for
// the life of one object, and a private registry file with a chosen Windows version.
#pragma once

#include <emu.h>

#include "support/TestSupport.h"

#include <stdlib.h>

#include <string>

namespace win32test {

// Sets (or, with nullptr, removes) an environment variable and restores it afterwards.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : m_name(name) {
        const char* old = getenv(name);
        m_had = old != nullptr;
        if (m_had)
            m_old = old;
        Set(value);
    }
    ~ScopedEnv() { Set(m_had ? m_old.c_str() : nullptr); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

    void Set(const char* value) {
        if (value != nullptr)
            setenv(m_name.c_str(), value, 1);
        else
            unsetenv(m_name.c_str());
    }

private:
    std::string m_name, m_old;
    bool m_had = false;
};

// A registry of its own in a temporary folder, as seen by a given Windows version and user.
class PrivateRegistry {
public:
    explicit PrivateRegistry(const char* version = "xp", const char* admin = "0")
        : m_file(m_dir.File("registry.reg")), m_registry("VANTEL_REGISTRY", m_file.c_str()),
          m_version("VANTEL_WINDOWS_VERSION", version), m_admin("VANTEL_USER_IS_ADMIN", admin) {}
    const std::string& File() const { return m_file; }
    const testsupport::TempDir& Dir() const { return m_dir; }
    void SetVersion(const char* version) { m_version.Set(version); }
    void UseFile(const std::string& file) { m_registry.Set(file.c_str()); }

private:
    testsupport::TempDir m_dir;
    std::string m_file;
    ScopedEnv m_registry, m_version, m_admin;
};

} // namespace win32test
