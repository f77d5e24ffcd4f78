// POSIX stand-in for the loader's mapping of a module's resource section. On Windows a
// module's resources are linked into it by the resource compiler and mapped by the loader;
// here, when the shared library is loaded, this file registers the resource section that
// resources/ builds with the emulation, under the library's own module handle (the base
// address at which the library is loaded), and removes it again when the library unloads.
// Compiled into the library on POSIX builds only; the system's own code never calls emu::.
#include <windows.h>
#include <emu_desktop.h>

#include "platform/loader/LibraryModule.h"
#include "resources/ResourceSection.h"

#include <dlfcn.h>

HMODULE VantelLibraryModule() {
    Dl_info info = {};
    if (dladdr(reinterpret_cast<const void*>(&VantelLibraryModule), &info) == 0)
        return NULL;
    return static_cast<HMODULE>(info.dli_fbase);
}

namespace {

class ResourceLoader {
public:
    ResourceLoader() : m_hModule(VantelLibraryModule()) {
        if (m_hModule == NULL)
            return;
        int nCount = 0;
        const RESOURCEENTRY* pEntries = GetResourceSection(&nCount);
        for (int i = 0; i < nCount; ++i)
            emu::RegisterResource(m_hModule, pEntries[i].lpType, pEntries[i].wID, pEntries[i].pData,
                                  pEntries[i].cbData);
    }
    ~ResourceLoader() {
        if (m_hModule != NULL)
            emu::UnregisterModuleResources(m_hModule);
    }
    ResourceLoader(const ResourceLoader&) = delete;
    ResourceLoader& operator=(const ResourceLoader&) = delete;

private:
    HMODULE m_hModule;
};

const ResourceLoader s_loader;

} // namespace
