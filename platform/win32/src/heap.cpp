// The process heap (GetProcessHeap, HeapAlloc, HeapReAlloc, HeapFree, HeapSize) and the old
// global allocator (GlobalAlloc, GlobalLock, GlobalUnlock, GlobalFree) over it.
//
// Blocks come from the C allocator; the heap keeps a table of its live blocks so that a
// pointer it never gave out, or one already freed, is refused with an error rather than
// corrupting memory. A moveable global block's handle is its address.
#include "kernel.h"

#include <stdlib.h>
#include <string.h>

#include <unordered_map>

namespace emu {
namespace internal {

namespace {

struct Block {
    SIZE_T size;
    DWORD locks; // GlobalLock count
};

class ProcessHeap {
public:
    static ProcessHeap& Instance() {
        static ProcessHeap* heap = new ProcessHeap;
        return *heap;
    }

    HANDLE Handle() { return static_cast<HANDLE>(this); }

    void* Allocate(SIZE_T size, bool zero) {
        void* memory = zero ? calloc(size == 0 ? 1 : size, 1) : malloc(size == 0 ? 1 : size);
        if (memory == nullptr)
            return nullptr;
        std::lock_guard<std::mutex> lock(m_lock);
        m_blocks[memory] = Block{size, 0};
        return memory;
    }

    void* Reallocate(void* memory, SIZE_T size, bool zero) {
        std::lock_guard<std::mutex> lock(m_lock);
        auto found = m_blocks.find(memory);
        if (found == m_blocks.end())
            return nullptr;
        Block block = found->second;
        void* moved = realloc(memory, size == 0 ? 1 : size);
        if (moved == nullptr)
            return nullptr;
        if (zero && size > block.size)
            memset(static_cast<char*>(moved) + block.size, 0, size - block.size);
        m_blocks.erase(memory);
        block.size = size;
        m_blocks[moved] = block;
        return moved;
    }

    bool Free(void* memory) {
        {
            std::lock_guard<std::mutex> lock(m_lock);
            if (m_blocks.erase(memory) == 0)
                return false;
        }
        free(memory);
        return true;
    }

    bool Size(const void* memory, SIZE_T* size) {
        std::lock_guard<std::mutex> lock(m_lock);
        auto found = m_blocks.find(const_cast<void*>(memory));
        if (found == m_blocks.end())
            return false;
        *size = found->second.size;
        return true;
    }

    // Changes a block's lock count by `change`; returns false for an unknown block, or when
    // unlocking an unlocked one.
    bool ChangeLocks(void* memory, int change, DWORD* locks) {
        std::lock_guard<std::mutex> lock(m_lock);
        auto found = m_blocks.find(memory);
        if (found == m_blocks.end() || (change < 0 && found->second.locks == 0))
            return false;
        found->second.locks += change;
        *locks = found->second.locks;
        return true;
    }

    bool Owns(void* memory) {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_blocks.count(memory) != 0;
    }

private:
    std::mutex m_lock;
    std::unordered_map<void*, Block> m_blocks;
};

bool IsProcessHeap(HANDLE heap) {
    if (heap == ProcessHeap::Instance().Handle())
        return true;
    Fail(ERROR_INVALID_HANDLE);
    return false;
}

} // namespace

} // namespace internal
} // namespace emu

using namespace emu::internal;

extern "C" {

HANDLE WINAPI GetProcessHeap(void) {
    return ProcessHeap::Instance().Handle();
}

LPVOID WINAPI HeapAlloc(HANDLE hHeap, DWORD dwFlags, SIZE_T dwBytes) {
    if (!IsProcessHeap(hHeap))
        return nullptr;
    void* memory = ProcessHeap::Instance().Allocate(dwBytes, (dwFlags & HEAP_ZERO_MEMORY) != 0);
    if (memory == nullptr)
        Fail(ERROR_NOT_ENOUGH_MEMORY);
    return memory;
}

LPVOID WINAPI HeapReAlloc(HANDLE hHeap, DWORD dwFlags, LPVOID lpMem, SIZE_T dwBytes) {
    if (!IsProcessHeap(hHeap))
        return nullptr;
    ProcessHeap& heap = ProcessHeap::Instance();
    if (lpMem == nullptr || !heap.Owns(lpMem)) {
        Fail(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    void* memory = heap.Reallocate(lpMem, dwBytes, (dwFlags & HEAP_ZERO_MEMORY) != 0);
    if (memory == nullptr)
        Fail(ERROR_NOT_ENOUGH_MEMORY);
    return memory;
}

BOOL WINAPI HeapFree(HANDLE hHeap, DWORD, LPVOID lpMem) {
    if (!IsProcessHeap(hHeap))
        return FALSE;
    if (lpMem == nullptr)
        return TRUE;
    return ProcessHeap::Instance().Free(lpMem) ? TRUE : Fail(ERROR_INVALID_PARAMETER);
}

SIZE_T WINAPI HeapSize(HANDLE hHeap, DWORD, LPCVOID lpMem) {
    SIZE_T size = 0;
    if (!IsProcessHeap(hHeap))
        return static_cast<SIZE_T>(-1);
    if (!ProcessHeap::Instance().Size(lpMem, &size)) {
        Fail(ERROR_INVALID_PARAMETER);
        return static_cast<SIZE_T>(-1);
    }
    return size;
}

HGLOBAL WINAPI GlobalAlloc(UINT uFlags, SIZE_T dwBytes) {
    void* memory = ProcessHeap::Instance().Allocate(dwBytes, (uFlags & GMEM_ZEROINIT) != 0);
    if (memory == nullptr)
        Fail(ERROR_NOT_ENOUGH_MEMORY);
    return memory;
}

HGLOBAL WINAPI GlobalFree(HGLOBAL hMem) {
    if (hMem == nullptr || ProcessHeap::Instance().Free(hMem))
        return nullptr;
    Fail(ERROR_INVALID_HANDLE);
    return hMem;
}

LPVOID WINAPI GlobalLock(HGLOBAL hMem) {
    DWORD locks;
    if (hMem == nullptr || !ProcessHeap::Instance().ChangeLocks(hMem, +1, &locks)) {
        Fail(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return hMem;
}

BOOL WINAPI GlobalUnlock(HGLOBAL hMem) {
    DWORD locks;
    ProcessHeap& heap = ProcessHeap::Instance();
    if (hMem == nullptr || !heap.Owns(hMem))
        return Fail(ERROR_INVALID_HANDLE);
    if (!heap.ChangeLocks(hMem, -1, &locks))
        return Fail(ERROR_NOT_LOCKED);
    if (locks > 0)
        return TRUE;
    SetLastError(NO_ERROR); // unlocked now
    return FALSE;
}

} // extern "C"
