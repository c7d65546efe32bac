#pragma once
// PNG and JPEG files for tests, written with libpng and libjpeg themselves
// (not with the program's code), from plain arrays of samples.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <png.h>

namespace zoetra::test {

// An 8-bit RGBA PNG (4 bytes a pixel, rows top to bottom); returns the path.
inline std::string write_png(const std::string& path, int width, int height,
                             const std::vector<std::uint8_t>& rgba) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(width);
    image.height = png_uint_32(height);
    image.format = PNG_FORMAT_RGBA;
    if (png_image_write_to_file(&image, path.c_str(), 0, rgba.data(), 0, nullptr) == 0)
        std::fprintf(stderr, "write_png %s: %s\n", path.c_str(), image.message);
    png_image_free(&image);
    return path;
}

// A baseline JPEG of `space` samples (JCS_RGB: 3 a pixel, JCS_CMYK: 4), kept
// in that colour space or, for CMYK input with `ycck`, coded as YCCK.
inline std::string write_jpeg(const std::string& path, int width, int height,
                              const std::vector<std::uint8_t>& samples,
                              J_COLOR_SPACE space = JCS_RGB, bool ycck = false) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return path;
    jpeg_compress_struct c{};
    jpeg_error_mgr errors{};
    c.err = jpeg_std_error(&errors);
    jpeg_create_compress(&c);
    jpeg_stdio_dest(&c, file);
    c.image_width = JDIMENSION(width);
    c.image_height = JDIMENSION(height);
    c.input_components = space == JCS_CMYK ? 4 : 3;
    c.in_color_space = space;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 95, TRUE);
    if (ycck)
        jpeg_set_colorspace(&c, JCS_YCCK);
    jpeg_start_compress(&c, TRUE);
    const std::size_t stride = std::size_t(width) * c.input_components;
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(samples.data() + c.next_scanline * stride);
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::fclose(file);
    return path;
}

} // namespace zoetra::test
