// The writer's other modes on whatever frames the reader gets out of the
// input. Written as changes (optimize), the file must show the same pictures
// as the default file and be no larger; with fine colours, transparency must
// stay exactly where it was; in exact colours the file shows the frames
// themselves, unless they have more colours than a table holds and writing
// fails. Coded lossily, every pixel must lie within the level's reach of the
// lossless file's, transparency unchanged; fewer colours keep transparency
// too. Every file's estimate must equal its length.
#include "gif_fuzz_support.hpp"

#include "gif/lzw_lossy.hpp"

namespace {

// Smaller than the round trip's: each run writes nine files, all but the
// first twice.
constexpr std::size_t max_frames = 3;
constexpr std::uint32_t max_screen_pixels = 32 * 32;

bool same_transparency(const std::vector<fuzzing::shown_picture>& a,
                       const std::vector<fuzzing::shown_picture>& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t f = 0; f < a.size(); ++f)
        for (std::size_t i = 0; i < a[f].size(); ++i)
            if ((a[f][i] == zoetra::transparent_flag) != (b[f][i] == zoetra::transparent_flag))
                return false;
    return true;
}

// The same transparency, and every colour within the level's reach.
bool within_reach(const std::vector<fuzzing::shown_picture>& lossy,
                  const std::vector<fuzzing::shown_picture>& lossless, int level) {
    if (!same_transparency(lossy, lossless))
        return false;
    const std::int64_t reach = zoetra::lossy_reach(level);
    auto lab = [](zoetra::pixel p) {
        return zoetra::lab_of(std::uint8_t(p >> 16), std::uint8_t(p >> 8), std::uint8_t(p));
    };
    for (std::size_t f = 0; f < lossy.size(); ++f)
        for (std::size_t i = 0; i < lossy[f].size(); ++i)
            if (lossy[f][i] != lossless[f][i] &&
                zoetra::squared_distance(lab(lossy[f][i]), lab(lossless[f][i])) > reach * reach)
                return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using fuzzing::check;
    const fuzzing::read_frames read = fuzzing::frames_of(data, size, max_frames, max_screen_pixels);
    if (read.frames.empty())
        return 0;
    const std::uint16_t loop = size % 3 == 0 ? 0 : size % 3 == 1 ? 1 : 5;
    const std::uint16_t delay = std::uint16_t(size * 7 % 200);
    const int level = 1 + int(size % zoetra::max_lossy_level);
    const int most = 2 + int(size * 7 % 255);
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

    zoetra::gif_encode_options fine{zoetra::colour_mode::fine, false};
    check(same_transparency(fuzzing::shown(writers.write(read, loop, delay, fine)), plain));
    fine.colours_max = most;
    fine.lossy = level;
    check(same_transparency(fuzzing::shown(writers.write(read, loop, delay, fine)), plain));

    // Coded lossily, with fewer colours in every other run, whole and as
    // changes: every pixel within the level's reach of the lossless file's.
    for (bool drawn_as_changes : {false, true}) {
        zoetra::gif_encode_options options{zoetra::colour_mode::standard, drawn_as_changes};
        options.colours_max = size % 2 == 0 ? 256 : most;
        const std::vector<fuzzing::shown_picture> lossless =
            fuzzing::shown(writers.write(read, loop, delay, options));
        options.lossy = level;
        check(within_reach(fuzzing::shown(writers.write(read, loop, delay, options)), lossless,
                           level));
    }
    return 0;
}
