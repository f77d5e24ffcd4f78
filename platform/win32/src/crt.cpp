// The Microsoft C runtime's extras: path splitting and joining, string case and reversal,
// case-insensitive comparison, _snprintf with its own truncation rule, integer conversion.
#include <windows.h>

#include <ctype.h>
#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

// Copies `length` characters of `text` into `out` (of `size` bytes), cutting what does not
// fit; a null `out` is skipped.
void CopyPart(char* out, size_t size, const char* text, size_t length) {
    if (out == nullptr)
        return;
    if (length >= size)
        length = size - 1;
    memcpy(out, text, length);
    out[length] = '\0';
}

char* IntegerToText(int64_t value, bool asUnsigned32, char* buffer, int radix) {
    if (buffer == nullptr)
        return nullptr;
    if (radix < 2 || radix > 36) {
        buffer[0] = '\0';
        return buffer;
    }
    bool negative = radix == 10 && value < 0;
    uint64_t magnitude = negative       ? 0 - static_cast<uint64_t>(value)
                         : asUnsigned32 ? static_cast<uint32_t>(value)
                                        : static_cast<uint64_t>(value);
    char digits[72];
    int count = 0;
    do {
        int digit = static_cast<int>(magnitude % static_cast<uint64_t>(radix));
        digits[count++] = static_cast<char>(digit < 10 ? '0' + digit : 'a' + digit - 10);
        magnitude /= static_cast<uint64_t>(radix);
    } while (magnitude != 0);
    char* out = buffer;
    if (negative)
        *out++ = '-';
    while (count > 0)
        *out++ = digits[--count];
    *out = '\0';
    return buffer;
}

} // namespace

extern "C" {

void _splitpath(const char* path, char* drive, char* dir, char* fname, char* ext) {
    if (path == nullptr)
        path = "";
    const char* rest = path;
    if (rest[0] != '\0' && rest[1] == ':') {
        CopyPart(drive, _MAX_DRIVE, rest, 2);
        rest += 2;
    } else {
        CopyPart(drive, _MAX_DRIVE, "", 0);
    }
    const char* name = rest;
    for (const char* p = rest; *p != '\0'; ++p) {
        if (IsSeparator(*p))
            name = p + 1;
    }
    CopyPart(dir, _MAX_DIR, rest, static_cast<size_t>(name - rest));
    const char* dot = strrchr(name, '.');
    size_t nameLength = dot != nullptr ? static_cast<size_t>(dot - name) : strlen(name);
    CopyPart(fname, _MAX_FNAME, name, nameLength);
    CopyPart(ext, _MAX_EXT, dot != nullptr ? dot : "", dot != nullptr ? strlen(dot) : 0);
}

// The result is cut to _MAX_PATH - 1 characters, the size the runtime expects of `path`.
void _makepath(char* path, const char* drive, const char* dir, const char* fname, const char* ext) {
    if (path == nullptr)
        return;
    std::string result;
    if (drive != nullptr && drive[0] != '\0') {
        result += drive[0];
        result += ':';
    }
    if (dir != nullptr && dir[0] != '\0') {
        result += dir;
        if (!IsSeparator(result.back()))
            result += '\\';
    }
    if (fname != nullptr)
        result += fname;
    if (ext != nullptr && ext[0] != '\0') {
        if (ext[0] != '.')
            result += '.';
        result += ext;
    }
    CopyPart(path, _MAX_PATH, result.c_str(), result.size());
}

char* _strrev(char* str) {
    if (str == nullptr)
        return nullptr;
    size_t length = strlen(str);
    for (size_t i = 0; i < length / 2; ++i) {
        char c = str[i];
        str[i] = str[length - 1 - i];
        str[length - 1 - i] = c;
    }
    return str;
}

char* _strlwr(char* str) {
    for (char* p = str; p != nullptr && *p != '\0'; ++p)
        *p = static_cast<char>(tolower(static_cast<unsigned char>(*p)));
    return str;
}

char* _strupr(char* str) {
    for (char* p = str; p != nullptr && *p != '\0'; ++p)
        *p = static_cast<char>(toupper(static_cast<unsigned char>(*p)));
    return str;
}

// Both compare the lower-case forms, as the Microsoft runtime does.
int _strnicmp(const char* a, const char* b, size_t n) {
    if (a == nullptr || b == nullptr)
        return a == b ? 0 : a == nullptr ? -1 : 1;
    for (size_t i = 0; i < n; ++i) {
        int ca = tolower(static_cast<unsigned char>(a[i]));
        int cb = tolower(static_cast<unsigned char>(b[i]));
        if (ca != cb)
            return ca - cb;
        if (ca == '\0')
            return 0;
    }
    return 0;
}

int _stricmp(const char* a, const char* b) {
    return _strnicmp(a, b, SIZE_MAX);
}

// Stores at most `count` characters: the terminator only when the text is shorter; returns
// the length, or -1 when the text was cut.
int _snprintf(char* buffer, size_t count, const char* format, ...) {
    if (format == nullptr || (buffer == nullptr && count > 0))
        return -1;
    va_list arguments;
    va_start(arguments, format);
    va_list copy;
    va_copy(copy, arguments);
    int length = vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (length < 0) {
        va_end(arguments);
        return -1;
    }
    std::vector<char> text(static_cast<size_t>(length) + 1);
    vsnprintf(text.data(), text.size(), format, arguments);
    va_end(arguments);
    size_t needed = static_cast<size_t>(length);
    if (needed < count) {
        memcpy(buffer, text.data(), needed + 1);
        return length;
    }
    if (count > 0)
        memcpy(buffer, text.data(), count);
    return needed == count ? length : -1;
}

char* _itoa(int value, char* buffer, int radix) {
    return IntegerToText(value, true, buffer, radix);
}

// A long holds 32 bits on Windows: values in that range convert as Windows converts them.
char* _ltoa(long value, char* buffer, int radix) {
    bool fits = value >= INT32_MIN && value <= INT32_MAX;
    return IntegerToText(value, fits, buffer, radix);
}

} // extern "C"
