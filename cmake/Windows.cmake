# The Windows build (mingw-w64, cross-compiled from Debian by `make windows`): the system
# folders, the MFC subset and the host over the real Win32, without platform/win32,
# platform/loader and machine/.

enable_language(RC)

# The system libraries that the MFC subset and the system folders call.
set(VANTEL_WINDOWS_LIBRARIES setupapi user32 gdi32 comctl32 advapi32 shell32)

# The C and C++ runtimes are linked in, so that the library and the host need nothing beside
# Windows' own libraries.
add_link_options(-static-libgcc -static-libstdc++)

# VantelPrintUsb.dll (not libVantelPrintUsb.dll), beside vantel.exe.
set(CMAKE_SHARED_LIBRARY_PREFIX "")
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

# The resource script is written from the resource tables by a program of the POSIX build
# (make windows builds it first).
set(VANTEL_RESOURCE_SCRIPT "" CACHE FILEPATH
    "vantel_resource_script of a POSIX build, which writes the resource script")
if(NOT EXISTS "${VANTEL_RESOURCE_SCRIPT}")
    message(FATAL_ERROR "The Windows build needs -DVANTEL_RESOURCE_SCRIPT=<POSIX build>/resources/"
                        "vantel_resource_script (make windows builds it and passes it).")
endif()
