#include "gif/jpeg_reader.hpp"

#include "base/memory.hpp"
#include "gif/picture.hpp"

// jpeglib.h needs the definitions of <cstdio> first, and jerror.h those of
// jpeglib.h.
#include <cstdio>

#include <jpeglib.h>

#include <jerror.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>

namespace zoetra {
namespace {

// The whole-image coefficient buffers of the largest picture the limits let
// through: 64,000,000 pixels, three full-size components of 2-byte
// coefficients, with room for the padding to whole blocks and the rows.
constexpr long max_working_bytes = 448L << 20;

// One reading. It lives in the frame of read_jpeg, above every frame that a
// jump out of libjpeg leaves, and the functions that set the jump's target
// hold no object with a destructor, so a jump never skips one.
struct jpeg_session {
    jpeg_session();
    ~jpeg_session() {
        if (created)
            jpeg_destroy_decompress(&decompressor);
    }
    jpeg_session(const jpeg_session&) = delete;
    jpeg_session& operator=(const jpeg_session&) = delete;

    jpeg_decompress_struct decompressor{};
    jpeg_error_mgr errors{};
    jpeg_progress_mgr progress{};
    bool created = false;
    std::jmp_buf escape;
    char message[JMSG_LENGTH_MAX] = "";
};

[[noreturn]] void stop(j_common_ptr common) {
    auto* session = static_cast<jpeg_session*>(common->client_data);
    common->err->format_message(common, session->message);
    std::longjmp(session->escape, 1);
}

[[noreturn]] void stop_with(j_common_ptr common, const char* message) {
    auto* session = static_cast<jpeg_session*>(common->client_data);
    std::snprintf(session->message, sizeof session->message, "%s", message);
    std::longjmp(session->escape, 1);
}

// The warnings that mean the coded data is damaged or missing.
bool is_damage(int code) {
    switch (code) {
    case JWRN_JPEG_EOF:
    case JWRN_HIT_MARKER:
    case JWRN_MUST_RESYNC:
    case JWRN_HUFF_BAD_CODE:
#if JPEG_LIB_VERSION >= 70 || defined(D_ARITH_CODING_SUPPORTED)
    case JWRN_ARITH_BAD_CODE:
#endif
    case JWRN_BOGUS_PROGRESSION:
    case JWRN_NOT_SEQUENTIAL:
        return true;
    default:
        return false;
    }
}

// Level -1 is a warning; higher levels are trace messages.
void emit_message(j_common_ptr common, int level) {
    if (level < 0 && is_damage(common->err->msg_code))
        stop(common);
}

void output_nothing(j_common_ptr) {}

// Called while libjpeg takes in the scans of a multi-scan file.
void count_scans(j_common_ptr common) {
    const auto* decompressor = reinterpret_cast<j_decompress_ptr>(common);
    if (decompressor->input_scan_number > max_jpeg_scans)
        stop_with(common, "the file has too many scans");
}

jpeg_session::jpeg_session() {
    decompressor.err = jpeg_std_error(&errors);
    errors.error_exit = stop;
    errors.emit_message = emit_message;
    errors.output_message = output_nothing;
    decompressor.client_data = this;
    progress.progress_monitor = count_scans;
}

struct jpeg_layout {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
};

// Reads the markers up to the first scan and chooses the output.
// The smallest scale, in eighths, at which size still reaches at_least.
unsigned eighths_reaching(std::uint32_t size, std::uint16_t at_least) {
    for (unsigned eighths = 1; eighths < 8; ++eighths)
        if ((std::uint64_t(size) * eighths + 7) / 8 >= at_least)
            return eighths;
    return 8;
}

bool read_header(jpeg_session& s, const std::uint8_t* data, std::size_t size, gif_size at_least,
                 jpeg_layout& layout) {
    if (setjmp(s.escape) != 0)
        return false;
    jpeg_decompress_struct& d = s.decompressor;
    jpeg_create_decompress(&d);
    s.created = true;
    d.mem->max_memory_to_use = max_working_bytes;
    d.progress = &s.progress;
    jpeg_mem_src(&d, data, static_cast<unsigned long>(size));
    jpeg_read_header(&d, TRUE);
    switch (d.jpeg_color_space) {
    case JCS_GRAYSCALE:
    case JCS_YCbCr:
    case JCS_RGB:
        break;
    case JCS_CMYK:
    case JCS_YCCK:
        stop_with(reinterpret_cast<j_common_ptr>(&d), "CMYK and YCCK JPEG images are not read");
    default:
        stop_with(reinterpret_cast<j_common_ptr>(&d),
                  "JPEG images with colours other than YCbCr, RGB or grey are not read");
    }
    d.out_color_space = JCS_RGB;
    d.dct_method = JDCT_ISLOW;
    d.do_fancy_upsampling = TRUE;
    if (at_least.width != 0 && at_least.height != 0) {
        d.scale_num = std::max(eighths_reaching(d.image_width, at_least.width),
                               eighths_reaching(d.image_height, at_least.height));
        d.scale_denom = 8;
    }
    jpeg_calc_output_dimensions(&d);
    layout.width = d.output_width;
    layout.height = d.output_height;
    return true;
}

// Decodes every row into pixels (width x height words) through row (width
// RGB triples).
bool read_pixels(jpeg_session& s, const jpeg_layout& layout, std::uint8_t* row, pixel* pixels) {
    if (setjmp(s.escape) != 0)
        return false;
    jpeg_decompress_struct& d = s.decompressor;
    jpeg_start_decompress(&d);
    if (d.output_width != layout.width || d.output_height != layout.height ||
        d.output_components != 3)
        stop_with(reinterpret_cast<j_common_ptr>(&d), "the output is not the image's RGB");
    JSAMPROW rows[1] = {row};
    while (d.output_scanline < d.output_height) {
        pixel* target = pixels + std::size_t(d.output_scanline) * layout.width;
        if (jpeg_read_scanlines(&d, rows, 1) != 1)
            stop_with(reinterpret_cast<j_common_ptr>(&d), "the rows stop early");
        const std::uint8_t* sample = row;
        for (std::uint32_t x = 0; x < layout.width; ++x, sample += 3)
            target[x] = (pixel(sample[0]) << 16) | (pixel(sample[1]) << 8) | sample[2];
    }
    return true;
}

} // namespace

result<std::unique_ptr<buffer>> read_jpeg(const std::uint8_t* data, std::size_t size,
                                          gif_size at_least) {
    jpeg_session session;
    return read_still<jpeg_layout>(
        [&](jpeg_layout& layout) { return read_header(session, data, size, at_least, layout); },
        [&](const jpeg_layout& layout, std::uint8_t* row, pixel* out) {
            return read_pixels(session, layout, row, out);
        },
        3, session.message);
}

std::optional<gif_size> probe_jpeg(std::FILE* file) {
    // Start of image, then markers up to the first frame: between markers,
    // stray bytes, fill bytes (FF) and stuffed zeros (FF 00) are passed over;
    // markers without a length (RSTn, TEM) stand alone; every other marker's
    // length counts itself and is skipped.
    if (std::fgetc(file) != 0xFF || std::fgetc(file) != 0xD8)
        return std::nullopt;
    auto read_u16 = [&]() -> int {
        const int high = std::fgetc(file), low = std::fgetc(file);
        return high < 0 || low < 0 ? -1 : (high << 8) | low;
    };
    for (;;) {
        int marker = 0;
        while (marker == 0) {
            int c = std::fgetc(file);
            while (c != 0xFF && c != EOF)
                c = std::fgetc(file);
            do
                c = std::fgetc(file);
            while (c == 0xFF);
            if (c == EOF)
                return std::nullopt;
            marker = c;
        }
        const bool frame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            const int length = read_u16(), precision = std::fgetc(file);
            const int height = read_u16(), width = read_u16();
            if (length < 0 || precision < 0 || height < 0 || width < 0 ||
                !readable_picture_size(std::uint64_t(width), std::uint64_t(height)))
                return std::nullopt;
            return gif_size{std::uint16_t(width), std::uint16_t(height)};
        }
        if (marker == 0xD8 || marker == 0xD9 || marker == 0xDA) // SOI again, EOI, SOS
            return std::nullopt;
        if ((marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) // RSTn, TEM
            continue;
        const int length = read_u16();
        if (length < 0 || (length > 2 && std::fseek(file, length - 2, SEEK_CUR) != 0))
            return std::nullopt;
    }
}

} // namespace zoetra
