// Strings of the ANSI code page (lstr*, wsprintfA), interlocked operations, wall-clock time
// (GetLocalTime, GetSystemTime and the FILETIME conversions) and OutputDebugStringA.
#include "kernel.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

namespace {

const int64_t kEpochDifference = 11644473600LL; // seconds from 1601 to 1970
const uint64_t kTicksPerSecond = 10000000ULL;   // FILETIME counts 100 ns

SYSTEMTIME SystemTimeOf(const struct tm& fields, long nanoseconds) {
    SYSTEMTIME time;
    time.wYear = static_cast<WORD>(fields.tm_year + 1900);
    time.wMonth = static_cast<WORD>(fields.tm_mon + 1);
    time.wDayOfWeek = static_cast<WORD>(fields.tm_wday);
    time.wDay = static_cast<WORD>(fields.tm_mday);
    time.wHour = static_cast<WORD>(fields.tm_hour);
    time.wMinute = static_cast<WORD>(fields.tm_min);
    time.wSecond = static_cast<WORD>(fields.tm_sec);
    time.wMilliseconds = static_cast<WORD>(nanoseconds / 1000000);
    return time;
}

// The wall clock's present time, broken down by `breakDown` (local time or UTC).
void Now(struct tm* (*breakDown)(const time_t*, struct tm*), LPSYSTEMTIME time) {
    if (time == nullptr)
        return;
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    struct tm fields;
    breakDown(&now.tv_sec, &fields);
    *time = SystemTimeOf(fields, now.tv_nsec);
}

int Upper(char c) {
    return toupper(static_cast<unsigned char>(c));
}

// Compares as lstrcmpiA does when `ignoreCase`; otherwise, as lstrcmpA does, first without
// regard to case and then with lower case before upper case.
int CompareStrings(LPCSTR a, LPCSTR b, bool ignoreCase) {
    if (a == nullptr || b == nullptr)
        return a == b ? 0 : a == nullptr ? -1 : 1;
    size_t i = 0;
    for (; a[i] != '\0' || b[i] != '\0'; ++i) {
        if (Upper(a[i]) != Upper(b[i]))
            return Upper(a[i]) < Upper(b[i]) ? -1 : 1;
    }
    if (ignoreCase)
        return 0;
    for (i = 0; a[i] != '\0'; ++i) {
        if (a[i] != b[i])
            return islower(static_cast<unsigned char>(a[i])) ? -1 : 1;
    }
    return 0;
}

} // namespace

extern "C" {

int WINAPI lstrlenA(LPCSTR lpString) {
    return lpString == nullptr ? 0 : static_cast<int>(strlen(lpString));
}

LPSTR WINAPI lstrcpyA(LPSTR lpString1, LPCSTR lpString2) {
    if (lpString1 == nullptr || lpString2 == nullptr)
        return nullptr;
    return strcpy(lpString1, lpString2);
}

LPSTR WINAPI lstrcpynA(LPSTR lpString1, LPCSTR lpString2, int iMaxLength) {
    if (lpString1 == nullptr || lpString2 == nullptr)
        return nullptr;
    if (iMaxLength <= 0)
        return lpString1;
    int i = 0;
    for (; i < iMaxLength - 1 && lpString2[i] != '\0'; ++i)
        lpString1[i] = lpString2[i];
    lpString1[i] = '\0';
    return lpString1;
}

LPSTR WINAPI lstrcatA(LPSTR lpString1, LPCSTR lpString2) {
    if (lpString1 == nullptr || lpString2 == nullptr)
        return nullptr;
    return strcat(lpString1, lpString2);
}

int WINAPI lstrcmpA(LPCSTR lpString1, LPCSTR lpString2) {
    return CompareStrings(lpString1, lpString2, false);
}

int WINAPI lstrcmpiA(LPCSTR lpString1, LPCSTR lpString2) {
    return CompareStrings(lpString1, lpString2, true);
}

// wsprintfA writes at most 1024 characters and the terminator.
int WINAPIV wsprintfA(LPSTR buffer, LPCSTR format, ...) {
    const int kLimit = 1024;
    if (buffer == nullptr || format == nullptr)
        return 0;
    va_list arguments;
    va_start(arguments, format);
    int length = vsnprintf(buffer, kLimit + 1, format, arguments);
    va_end(arguments);
    if (length < 0) {
        buffer[0] = '\0';
        return 0;
    }
    return length > kLimit ? kLimit : length;
}

LONG WINAPI InterlockedIncrement(LONG volatile* Addend) {
    return __atomic_add_fetch(Addend, 1, __ATOMIC_SEQ_CST);
}

LONG WINAPI InterlockedDecrement(LONG volatile* Addend) {
    return __atomic_sub_fetch(Addend, 1, __ATOMIC_SEQ_CST);
}

LONG WINAPI InterlockedExchange(LONG volatile* Target, LONG Value) {
    return __atomic_exchange_n(Target, Value, __ATOMIC_SEQ_CST);
}

LONG WINAPI InterlockedCompareExchange(LONG volatile* Destination, LONG Exchange, LONG Comperand) {
    __atomic_compare_exchange_n(Destination, &Comperand, Exchange, false, __ATOMIC_SEQ_CST,
                                __ATOMIC_SEQ_CST);
    return Comperand; // the initial value either way
}

void WINAPI GetLocalTime(LPSYSTEMTIME lpSystemTime) {
    Now(localtime_r, lpSystemTime);
}

void WINAPI GetSystemTime(LPSYSTEMTIME lpSystemTime) {
    Now(gmtime_r, lpSystemTime);
}

BOOL WINAPI FileTimeToSystemTime(const FILETIME* lpFileTime, LPSYSTEMTIME lpSystemTime) {
    if (lpFileTime == nullptr || lpSystemTime == nullptr)
        return emu::internal::Fail(ERROR_INVALID_PARAMETER);
    uint64_t ticks =
        (static_cast<uint64_t>(lpFileTime->dwHighDateTime) << 32) | lpFileTime->dwLowDateTime;
    if (ticks > 0x7FFFFFFFFFFFFFFFULL)
        return emu::internal::Fail(ERROR_INVALID_PARAMETER);
    time_t seconds =
        static_cast<time_t>(static_cast<int64_t>(ticks / kTicksPerSecond) - kEpochDifference);
    struct tm fields;
    if (gmtime_r(&seconds, &fields) == nullptr)
        return emu::internal::Fail(ERROR_INVALID_PARAMETER);
    *lpSystemTime = SystemTimeOf(fields, static_cast<long>(ticks % kTicksPerSecond) * 100);
    return TRUE;
}

BOOL WINAPI FileTimeToLocalFileTime(const FILETIME* lpFileTime, LPFILETIME lpLocalFileTime) {
    if (lpFileTime == nullptr || lpLocalFileTime == nullptr)
        return emu::internal::Fail(ERROR_INVALID_PARAMETER);
    // The zone's present offset applies, as on Windows.
    time_t now = time(nullptr);
    struct tm fields;
    localtime_r(&now, &fields);
    int64_t ticks = static_cast<int64_t>((static_cast<uint64_t>(lpFileTime->dwHighDateTime) << 32) |
                                         lpFileTime->dwLowDateTime);
    ticks += static_cast<int64_t>(fields.tm_gmtoff) * static_cast<int64_t>(kTicksPerSecond);
    if (ticks < 0)
        return emu::internal::Fail(ERROR_INVALID_PARAMETER);
    lpLocalFileTime->dwLowDateTime = static_cast<DWORD>(ticks);
    lpLocalFileTime->dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(ticks) >> 32);
    return TRUE;
}

// Windows hands the text to a debugger; here it goes to standard error when
// VANTEL_DEBUG_OUTPUT is set, and nowhere otherwise.
void WINAPI OutputDebugStringA(LPCSTR lpOutputString) {
    static const bool enabled = getenv("VANTEL_DEBUG_OUTPUT") != nullptr;
    if (enabled && lpOutputString != nullptr)
        fputs(lpOutputString, stderr);
}

} // extern "C"
