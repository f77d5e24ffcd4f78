// The Microsoft C runtime's extras that the system uses and that the POSIX C library lacks.
#pragma once

#include <stddef.h>

#define _MAX_PATH 260
#define _MAX_DRIVE 3
#define _MAX_DIR 256
#define _MAX_FNAME 256
#define _MAX_EXT 256

#ifdef __cplusplus
extern "C" {
#endif

// Both '\' and '/' end a directory part; a drive is a letter and ':' at the start.
void _splitpath(const char* path, char* drive, char* dir, char* fname, char* ext);
void _makepath(char* path, const char* drive, const char* dir, const char* fname,
               const char* ext);
char* _strrev(char* str);
char* _strlwr(char* str);
char* _strupr(char* str);
int _stricmp(const char* a, const char* b);
int _strnicmp(const char* a, const char* b, size_t n);
int _snprintf(char* buffer, size_t count, const char* format, ...);
char* _itoa(int value, char* buffer, int radix);
char* _ltoa(long value, char* buffer, int radix);

#define stricmp _stricmp
#define strnicmp _strnicmp

#ifdef __cplusplus
}
#endif
