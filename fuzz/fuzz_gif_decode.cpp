// Feeds arbitrary bytes to the GIF frame reader as an in-memory file and reads
// every frame it gives, checking that each composed pixel is one the reader
// may write: a painted colour (bits 24-31 clear) or the background with only
// the transparent flag set. The same bytes go to the animation reader, whose
// frames are checked alike and must be no more than it was asked for.
#include "gif/animation_reader.hpp"
#include "gif/decoder.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

// Screens are capped so that time goes into parsing, not into filling huge
// canvases; the reader's own limits are far above this.
constexpr std::uint64_t max_fuzzed_screen_pixels = 1u << 20;

bool screen_too_large_to_fuzz(const std::uint8_t* data, std::size_t size) {
    if (size < 10)
        return false;
    std::uint64_t width = data[6] | (data[7] << 8);
    std::uint64_t height = data[8] | (data[9] << 8);
    return width * height > max_fuzzed_screen_pixels;
}

void check_pixels(zoetra::buffer& frame) {
    zoetra::buffer_lock hold(frame);
    const zoetra::pixel* pixels = frame.pixels();
    const std::size_t count = std::size_t(frame.width()) * frame.height();
    for (std::size_t i = 0; i < count; ++i)
        if ((pixels[i] >> 25) != 0)
            std::abort();
}

// Few frames taken, so that sampling and the merging of delays are reached.
void check_animation(const std::uint8_t* data, std::size_t size) {
    constexpr std::size_t taken = 3;
    auto read = zoetra::decode_animation(zoetra::copy_bytes(data, size), taken);
    if (!read)
        return;
    if (read->frames.empty() || read->frames.size() > taken ||
        read->frames.size() > read->frames_in_file)
        std::abort();
    for (const zoetra::animation_frame& frame : read->frames) {
        if (frame.picture->width() != read->width || frame.picture->height() != read->height)
            std::abort();
        check_pixels(*frame.picture);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (screen_too_large_to_fuzz(data, size))
        return 0;
    zoetra::gif_reader reader;
    if (!reader.open_bytes(data, size))
        return 0;
    while (auto frame = reader.read_frame()) {
        if (frame->width() != reader.screen_width() || frame->height() != reader.screen_height())
            std::abort();
        check_pixels(*frame);
    }
    check_animation(data, size);
    return 0;
}
