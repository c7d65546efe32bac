// Round trip through the GIF writer in its default mode: whatever frames the
// reader gets out of the input are written again, and the written file must
// read back with the same frame count and size, every transparent pixel
// still transparent and every painted pixel painted in a colour of the
// written global table. The size estimate must equal the written length.
// (The other modes, lossy coding and fewer colours among them, cost more
// and have a target of their own, fuzz_gif_modes, so that this one runs
// many inputs a second.)
#include "gif_fuzz_support.hpp"

#include <array>
#include <set>

namespace {

// Keeps each run quick: the reductions cost time per pixel.
constexpr std::size_t max_frames = 4;
constexpr std::uint32_t max_screen_pixels = 64 * 64;

// The file has the frames' count and size, their transparency, and only
// colours of the first entries of its global table.
void check_round_trip(const fuzzing::read_frames& read, const std::vector<std::uint8_t>& file,
                      const std::array<std::uint8_t, 768>& table, int entries) {
    using fuzzing::check;
    std::set<zoetra::pixel> table_colours;
    for (int i = 0; i < entries; ++i)
        table_colours.insert(zoetra::pixel(table[i * 3]) << 16 |
                             zoetra::pixel(table[i * 3 + 1]) << 8 | table[i * 3 + 2]);

    zoetra::gif_reader again;
    check(again.open_bytes(file.data(), file.size()).ok());
    check(again.screen_width() == read.size.width && again.screen_height() == read.size.height);
    const std::size_t pixels = std::size_t(read.size.width) * read.size.height;
    for (zoetra::buffer* original : read.frames) {
        const auto copy = again.read_frame();
        check(copy != nullptr);
        zoetra::buffer_lock hold_original(*original), hold_copy(*copy);
        const zoetra::pixel* before = original->pixels();
        const zoetra::pixel* after = copy->pixels();
        for (std::size_t i = 0; i < pixels; ++i) {
            const bool was_transparent = (before[i] & zoetra::transparent_flag) != 0;
            check(((after[i] & zoetra::transparent_flag) != 0) == was_transparent);
            if (!was_transparent)
                check(table_colours.count(after[i] & 0xFFFFFF) == 1);
        }
    }
    check(again.read_frame() == nullptr);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzzing::read_frames read = fuzzing::frames_of(data, size, max_frames, max_screen_pixels);
    if (read.frames.empty())
        return 0;
    const std::uint16_t loop = size % 3 == 0 ? 0 : size % 3 == 1 ? 1 : 5;
    const std::uint16_t delay = std::uint16_t(size * 7 % 200);
    fuzzing::writers writers(size);
    // The default file: its colours in entries 0 to 254.
    check_round_trip(read, writers.write(read, loop, delay, {}), writers.global_table(), 255);
    return 0;
}
