// The writer's other modes on whatever frames the reader gets out of the
// input. Written as changes (optimize), the file must show the same pictures
// as the default file and be no larger; with fine colours, transparency must
// stay exactly where it was; in exact colours the file shows the frames
// themselves, unless they have more colours than a table holds and writing
// fails. Every file's estimate must equal its length.
#include "gif_fuzz_support.hpp"

namespace {

// Smaller than the round trip's: each run writes four files, three of them
// twice.
constexpr std::size_t max_frames = 3;
constexpr std::uint32_t max_screen_pixels = 32 * 32;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using fuzzing::check;
    const fuzzing::read_frames read = fuzzing::frames_of(data, size, max_frames, max_screen_pixels);
    if (read.frames.empty())
        return 0;
    const std::uint16_t loop = size % 3 == 0 ? 0 : size % 3 == 1 ? 1 : 5;
    const std::uint16_t delay = std::uint16_t(size * 7 % 200);
    fuzzing::writers writers(size);

    // The default file is the pictures' reference (its estimate is the
    // round trip's to check).
    const std::vector<std::uint8_t> file = writers.write(read, loop, delay, {}, false);
    const std::vector<fuzzing::shown_picture> plain = fuzzing::shown(file);
    const zoetra::gif_encode_options changes{zoetra::colour_mode::standard, true};
    const std::vector<std::uint8_t> optimized = writers.write(read, loop, delay, changes);
    check(optimized.size() <= file.size());
    check(fuzzing::shown(optimized) == plain);

    const std::vector<std::uint8_t> exact =
        writers.write(read, loop, delay, {zoetra::colour_mode::exact}, true, true);
    check(exact.empty() || fuzzing::shown(exact) == fuzzing::sources(read));

    const zoetra::gif_encode_options fine{zoetra::colour_mode::fine, false};
    const std::vector<fuzzing::shown_picture> finer =
        fuzzing::shown(writers.write(read, loop, delay, fine));
    check(finer.size() == plain.size());
    for (std::size_t f = 0; f < finer.size(); ++f)
        for (std::size_t i = 0; i < finer[f].size(); ++i)
            check((finer[f][i] == zoetra::transparent_flag) ==
                  (plain[f][i] == zoetra::transparent_flag));
    return 0;
}
