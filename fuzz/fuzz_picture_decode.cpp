// Feeds arbitrary bytes to the picture readers, the reader chosen by the
// first bytes as for a file, and checks what a picture that reads must be:
// pixels a reader may write (bits 25-31 clear), and the size that the header
// probe gives the same bytes. A PNG's chunk check sums are put right first,
// so that mutations reach the decoding instead of stopping at the CRC check.
#include "gif/picture.hpp"
#include "gif/png_reader.hpp"

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Pictures are capped so that time goes into parsing, not into filling huge
// buffers; the readers' own limits are far above this.
constexpr std::uint64_t max_fuzzed_pixels = 1u << 20;

zoetra::gif_size probe(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return {};
    std::FILE* file = fmemopen(const_cast<std::uint8_t*>(data), size, "rb");
    if (file == nullptr)
        return {};
    const zoetra::gif_size measured = zoetra::probe_picture_size(file);
    std::fclose(file);
    return measured;
}

std::uint32_t big_endian(const std::uint8_t* at) {
    return std::uint32_t(at[0]) << 24 | std::uint32_t(at[1]) << 16 | std::uint32_t(at[2]) << 8 |
           at[3];
}

// Rewrites the check sum of every whole chunk after the signature.
void fix_png_check_sums(std::uint8_t* data, std::size_t size) {
    for (std::size_t at = 8; size - at >= 12;) {
        const std::uint32_t length = big_endian(data + at);
        if (length > size - at - 12)
            return;
        const std::uint32_t sum = std::uint32_t(crc32(0, data + at + 4, length + 4));
        std::uint8_t* stored = data + at + 8 + length;
        for (int k = 0; k < 4; ++k)
            stored[k] = std::uint8_t(sum >> (24 - 8 * k));
        at += 12 + std::size_t(length);
    }
}

void check_pixels(zoetra::buffer& picture) {
    zoetra::buffer_lock hold(picture);
    const zoetra::pixel* pixels = picture.pixels();
    const std::size_t count = std::size_t(picture.width()) * picture.height();
    for (std::size_t i = 0; i < count; ++i)
        if ((pixels[i] >> 25) != 0)
            std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    zoetra::file_bytes bytes = zoetra::copy_bytes(data, size);
    if (zoetra::picture_kind_of(bytes.data.get(), bytes.size) == zoetra::picture_kind::png)
        fix_png_check_sums(bytes.data.get(), bytes.size);
    const zoetra::gif_size measured = probe(bytes.data.get(), bytes.size);
    if (std::uint64_t(measured.width) * measured.height > max_fuzzed_pixels)
        return 0;
    const zoetra::result<std::unique_ptr<zoetra::buffer>> read =
        zoetra::decode_picture(std::move(bytes));
    if (!read) {
        if (read.message().empty())
            std::abort(); // every refusal has a reason
        return 0;
    }
    zoetra::buffer& picture = *read.value();
    if (picture.width() != measured.width || picture.height() != measured.height)
        std::abort(); // a file that reads measures as it reads
    check_pixels(picture);
    return 0;
}
