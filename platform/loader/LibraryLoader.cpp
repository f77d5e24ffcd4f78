// POSIX stand-in for the Windows loader's part in loading and unloading the library. On
// Windows the loader maps the module's resource section, runs the C++ runtime's construction
// of the module's static objects and then calls its entry point with DLL_PROCESS_ATTACH; at
// unload it calls the entry point with DLL_PROCESS_DETACH and then the runtime destroys the
// static objects. Here, when the shared library is loaded, this file registers the resource
// section that resources/ builds with the emulation under the library's own module handle (the
// base address at which the library is loaded) and calls DllMain; when the library is unloaded
// (dlclose or the end of the process) it calls DllMain and removes the resources again.
//
// Order. The entry point must run after every other static object of the library has been
// constructed (the transfer mutex among them) and before any is destroyed. ELF runs a
// library's initializers in the order of its DT_INIT_ARRAY, which the linker fills in link
// order (init_priority only moves an initializer in front of all the plain ones, never
// behind). So this file is linked last: the build adds it to the library after every system
// folder has added its sources. The initializer below checks that no entry of the array
// follows its own but the toolchain's (the registration of clang's profile runtime, which a
// coverage build links in behind every object) and stops the process with a message if the
// build ever changes that. Its loader object is a function-local static constructed in that
// initializer, so its destructor is registered after those of all other static objects of the
// library and therefore runs before them, both at dlclose and at the end of the process.
//
// Thread attach and detach calls are not delivered: the library's entry point does nothing
// for them.
//
// Compiled into the library on POSIX builds only; the system's own code never calls emu::.
#include <windows.h>
#include <emu_desktop.h>

#include "platform/loader/LibraryModule.h"
#include "resources/ResourceSection.h"

#include <dlfcn.h>
#include <link.h>

#include <cstdio>
#include <cstdlib>

HMODULE VantelLibraryModule() {
    Dl_info info = {};
    if (dladdr(reinterpret_cast<const void*>(&VantelLibraryModule), &info) == 0)
        return NULL;
    return static_cast<HMODULE>(info.dli_fbase);
}

namespace {

class LibraryLoader {
public:
    explicit LibraryLoader(HMODULE hModule) : m_hModule(hModule) {
        int nCount = 0;
        const RESOURCEENTRY* pEntries = GetResourceSection(&nCount);
        for (int i = 0; i < nCount; ++i)
            emu::RegisterResource(m_hModule, pEntries[i].lpType, pEntries[i].wID, pEntries[i].pData,
                                  pEntries[i].cbData);
        // A library whose entry point fails its process attach fails to load: for a library
        // the program was linked with, Windows ends the process.
        if (!DllMain(m_hModule, DLL_PROCESS_ATTACH, NULL)) {
            std::fprintf(stderr, "VantelPrintUsb: the library failed to initialise\n");
            std::abort();
        }
    }
    ~LibraryLoader() {
        DllMain(m_hModule, DLL_PROCESS_DETACH, NULL);
        emu::UnregisterModuleResources(m_hModule);
    }
    LibraryLoader(const LibraryLoader&) = delete;
    LibraryLoader& operator=(const LibraryLoader&) = delete;

private:
    HMODULE m_hModule;
};

using Initializer = void (*)();

struct InitArraySearch {
    const void* pBase;   // the library's load address
    Initializer pfnSelf; // the loader's initializer
    long nBehind;        // the entries of the library's DT_INIT_ARRAY behind it; -1: not there
};

int FindLoaderInitializer(dl_phdr_info* pInfo, size_t, void* pData) {
    auto* pSearch = static_cast<InitArraySearch*>(pData);
    if (reinterpret_cast<const void*>(pInfo->dlpi_addr) != pSearch->pBase)
        return 0;
    for (int i = 0; i < pInfo->dlpi_phnum; ++i) {
        if (pInfo->dlpi_phdr[i].p_type != PT_DYNAMIC)
            continue;
        ElfW(Addr) array = 0;
        ElfW(Xword) size = 0;
        for (auto* pEntry =
                 reinterpret_cast<const ElfW(Dyn)*>(pInfo->dlpi_addr + pInfo->dlpi_phdr[i].p_vaddr);
             pEntry->d_tag != DT_NULL; ++pEntry) {
            if (pEntry->d_tag == DT_INIT_ARRAY)
                array = pEntry->d_un.d_ptr; // not relocated: an offset from the load address
            else if (pEntry->d_tag == DT_INIT_ARRAYSZ)
                size = pEntry->d_un.d_val;
        }
        const auto* pEntries = reinterpret_cast<const Initializer*>(pInfo->dlpi_addr + array);
        const long nEntries = array != 0 ? static_cast<long>(size / sizeof(Initializer)) : 0;
        for (long k = 0; k < nEntries; ++k) {
            if (pEntries[k] == pSearch->pfnSelf)
                pSearch->nBehind = nEntries - 1 - k;
        }
    }
    return 1;
}

} // namespace

// Defined by clang's profile runtime when a coverage build links it into the library; its
// registration is the one initializer linked behind the loader's.
extern "C" __attribute__((weak)) int __llvm_profile_runtime;

namespace {

__attribute__((constructor)) void LoadLibraryModule() {
    HMODULE hModule = VantelLibraryModule();
    InitArraySearch search = {hModule, &LoadLibraryModule, -1};
    if (hModule != NULL)
        dl_iterate_phdr(&FindLoaderInitializer, &search);
    const long nRuntime = &__llvm_profile_runtime != NULL ? 1 : 0;
    if (search.nBehind != nRuntime) {
        std::fprintf(stderr, "VantelPrintUsb: the loader is not the library's last initializer "
                             "(platform/loader/LibraryLoader.cpp must be linked last)\n");
        std::abort();
    }
    static LibraryLoader s_loader(hModule);
}

} // namespace
