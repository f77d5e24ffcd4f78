// PNG files through libpng, where the build has it.
#include "stdafx.h"
#include "formats/Preview.h"

#include <cstdio>

#ifdef VANTEL_HAVE_PNG
#include <png.h>
#endif

namespace formats {

#ifdef VANTEL_HAVE_PNG

bool CanWritePng() {
    return true;
}

bool WritePng(const Raster& raster, const std::string& path, std::string& error) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        error = "cannot create " + path;
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    volatile bool written = false;
    if (info != nullptr && setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        png_set_IHDR(png, info, static_cast<png_uint_32>(raster.width),
                     static_cast<png_uint_32>(raster.height), 8, PNG_COLOR_TYPE_RGB,
                     PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        for (int y = 0; y < raster.height; ++y) {
            // Rgb is three bytes in a row, as libpng's RGB rows are.
            static_assert(sizeof(Rgb) == 3, "an RGB pixel is three bytes");
            png_write_row(png, reinterpret_cast<png_const_bytep>(
                                   &raster.pixels[static_cast<size_t>(y) * raster.width]));
        }
        png_write_end(png, nullptr);
        written = true;
    }
    png_destroy_write_struct(&png, info != nullptr ? &info : nullptr);
    written = std::fclose(file) == 0 && written;
    if (!written)
        error = "cannot write " + path;
    return written;
}

#else

bool CanWritePng() {
    return false;
}

bool WritePng(const Raster&, const std::string& path, std::string& error) {
    error = "this vantel was built without libpng and cannot write " + path + "; write an .svg";
    return false;
}

#endif

} // namespace formats
