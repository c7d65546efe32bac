#include "gif/png_reader.hpp"

#include "base/memory.hpp"
#include "gif/picture.hpp"

#include <png.h>

#include <csetjmp>
#include <cstring>

namespace zoetra {
namespace {

// Ancillary chunks are passed over, but libpng still holds each one it reads
// past; none may take more than this (libpng's usual default, set here so
// that it does not depend on how the library was built).
constexpr png_alloc_size_t max_chunk_bytes = 8'000'000;

// One reading. It lives in the frame of read_png, above every frame that a
// jump out of libpng leaves, and the functions that set the jump's target
// hold no object with a destructor, so a jump never skips one.
struct png_session {
    png_session(const std::uint8_t* bytes, std::size_t count) : data(bytes), size(count) {}
    ~png_session() {
        if (png != nullptr)
            png_destroy_read_struct(&png, info != nullptr ? &info : nullptr, nullptr);
    }
    png_session(const png_session&) = delete;
    png_session& operator=(const png_session&) = delete;

    const std::uint8_t* data;
    std::size_t size;
    std::size_t position = 0;
    png_structp png = nullptr;
    png_infop info = nullptr;
    std::jmp_buf escape;
    char message[160] = "";
};

[[noreturn]] void stop_on_error(png_structp png, png_const_charp message) {
    auto* session = static_cast<png_session*>(png_get_error_ptr(png));
    std::snprintf(session->message, sizeof session->message, "%s", message);
    std::longjmp(session->escape, 1);
}

void drop_warning(png_structp, png_const_charp) {}

png_voidp allocate_for_png(png_structp, png_alloc_size_t size) {
    return allocate(size);
}

void release_for_png(png_structp, png_voidp block) {
    release(block);
}

void read_from_memory(png_structp png, png_bytep target, std::size_t count) {
    auto* session = static_cast<png_session*>(png_get_io_ptr(png));
    if (session->size - session->position < count)
        png_error(png, "the file ends early");
    std::memcpy(target, session->data + session->position, count);
    session->position += count;
}

// The image as the transformations deliver it: rows of 4-byte RGBA pixels.
struct png_layout {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    bool interlaced = false;
};

// Reads up to the first image data and sets every transformation.
bool read_header(png_session& s, png_layout& layout) {
    if (setjmp(s.escape) != 0)
        return false;
    s.png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, &s, stop_on_error, drop_warning, &s,
                                     allocate_for_png, release_for_png);
    if (s.png == nullptr) {
        std::snprintf(s.message, sizeof s.message, "libpng cannot start");
        return false;
    }
    s.info = png_create_info_struct(s.png);
    png_set_read_fn(s.png, &s, read_from_memory);
    png_set_user_limits(s.png, max_gif_side, max_gif_side);
    png_set_chunk_malloc_max(s.png, max_chunk_bytes);
    // Every chunk but IHDR, PLTE, tRNS, IDAT and IEND is skipped unread.
    png_set_keep_unknown_chunks(s.png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
    png_read_info(s.png, s.info);

    png_set_expand(s.png);   // palettes, low depths and tRNS to 8-bit RGB(A)
    png_set_strip_16(s.png); // the high byte of 16-bit samples
    png_set_gray_to_rgb(s.png);
    png_set_add_alpha(s.png, 0xFF, PNG_FILLER_AFTER); // opaque where there is no alpha
    png_read_update_info(s.png, s.info);

    layout.width = png_get_image_width(s.png, s.info);
    layout.height = png_get_image_height(s.png, s.info);
    layout.interlaced = png_get_interlace_type(s.png, s.info) != PNG_INTERLACE_NONE;
    if (png_get_rowbytes(s.png, s.info) != std::size_t(layout.width) * 4)
        png_error(s.png, "the transformed rows are not RGBA");
    return true;
}

pixel pack(const std::uint8_t* rgba) {
    return (rgba[3] < 128 ? transparent_flag : 0) | (pixel(rgba[0]) << 16) | (pixel(rgba[1]) << 8) |
           rgba[2];
}

// Reads every row into pixels (width x height words). An interlaced file
// comes as seven reduced images (Adam7), empty ones left out; each reduced
// row goes straight to its row of the picture, at its pass's columns.
bool read_pixels(png_session& s, const png_layout& layout, std::uint8_t* row, pixel* pixels) {
    if (setjmp(s.escape) != 0)
        return false;
    const int passes = layout.interlaced ? 7 : 1;
    for (int pass = 0; pass < passes; ++pass) {
        std::uint32_t columns = layout.width, rows = layout.height;
        std::uint32_t first_column = 0, column_step = 1;
        if (layout.interlaced) {
            columns = PNG_PASS_COLS(layout.width, pass);
            rows = PNG_PASS_ROWS(layout.height, pass);
            first_column = PNG_PASS_START_COL(pass);
            column_step = 1u << PNG_PASS_COL_SHIFT(pass);
        }
        if (columns == 0 || rows == 0)
            continue;
        for (std::uint32_t r = 0; r < rows; ++r) {
            png_read_row(s.png, row, nullptr);
            const std::uint32_t y = layout.interlaced ? PNG_ROW_FROM_PASS_ROW(r, pass) : r;
            pixel* target = pixels + std::size_t(y) * layout.width + first_column;
            for (std::uint32_t c = 0; c < columns; ++c)
                target[std::size_t(c) * column_step] = pack(row + 4 * std::size_t(c));
        }
    }
    return true;
}

} // namespace

result<std::unique_ptr<buffer>> read_png(const std::uint8_t* data, std::size_t size) {
    png_session session(data, size);
    return read_still<png_layout>([&](png_layout& layout) { return read_header(session, layout); },
                                  [&](const png_layout& layout, std::uint8_t* row, pixel* out) {
                                      return read_pixels(session, layout, row, out);
                                  },
                                  4, session.message);
}

std::optional<gif_size> probe_png(std::FILE* file) {
    // The signature, then the IHDR chunk: its length (13), its type, and the
    // width and height as 4-byte big-endian numbers.
    std::uint8_t start[24];
    if (std::fread(start, 1, sizeof start, file) != sizeof start ||
        std::memcmp(start, png_signature, 8) != 0 ||
        std::memcmp(start + 8, "\0\0\0\15IHDR", 8) != 0)
        return std::nullopt;
    auto big_endian = [&](int at) {
        return std::uint32_t(start[at]) << 24 | std::uint32_t(start[at + 1]) << 16 |
               std::uint32_t(start[at + 2]) << 8 | start[at + 3];
    };
    const std::uint32_t width = big_endian(16), height = big_endian(20);
    if (!readable_picture_size(width, height))
        return std::nullopt;
    return gif_size{std::uint16_t(width), std::uint16_t(height)};
}

} // namespace zoetra
