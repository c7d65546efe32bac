// Kept colours: a caption's fill and outline drawn over photo-like frames
// come back exactly in every colour mode, colour count and lossy level, with
// a kept colour that no frame shows beside them. The lossy coder treats a
// kept colour's entry as it treats the transparent one.
#include "shown_pictures.hpp"

#include "gif/lzw_lossy.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

namespace zoetra::test {
namespace {

constexpr std::uint32_t fill = 0xFFFFFF, outline = 0x101010, absent = 0x00FF00;

gif_encode_options keeping(gif_encode_options options, std::vector<std::uint32_t> colours,
                           int colours_max = 256, int lossy = 0) {
    std::ranges::copy(colours, options.kept.rgb.begin());
    options.kept.count = int(colours.size());
    options.colours_max = colours_max;
    options.lossy = lossy;
    return options;
}

// Letters as outlined bars along the foot, and a count at the top that grows
// by a bar each frame; clear where there is no caption.
pixel caption_at(int x, int y, int frame) {
    auto fill_at = [&](int x, int y) {
        return (y >= 166 && y < 174 && x >= 6 && x < 150 && (x - 6) % 6 < 3) ||
               (y >= 4 && y < 12 && x >= 4 && x < 10 + 6 * frame && (x - 4) % 6 < 3);
    };
    pixel found = fill_at(x, y) ? fill : clear;
    for (int d = 0; d < 9 && found == clear; ++d)
        found = fill_at(x + d % 3 - 1, y + d / 3 - 1) ? outline : clear;
    return found;
}

// Grain, a highlight just short of white and a band just short of the
// outline's colour, under the caption; with a hole, a transparent square
// that moves, so that frames clear and draw still pixels again (fine colours
// then share one palette). Over 32,768 pixels: a sample chooses the first
// fine palette.
animation captioned_scene(bool hole) {
    animation a(184, 180);
    for (int f = 0; f < 4; ++f) {
        std::mt19937 grain(11);
        a.add([&, f](int x, int y) -> pixel {
            const int n = int(grain() % 17) - 8;
            if (caption_at(x, y, f) != clear)
                return caption_at(x, y, f);
            if (hole && x >= 20 + 9 * f && x < 44 + 9 * f && y >= 30 && y < 54)
                return clear;
            if (x > 140)
                return pixel(236 + n / 2) << 16 | pixel(240 + n / 2) << 8 | pixel(244 + n / 2);
            if (y > 140)
                return pixel(18 + n / 3) << 16 | pixel(20 + n / 3) << 8 | pixel(17 + n / 3);
            return pixel(40 + x + n) << 16 | pixel(128 + 70 * std::sin(y * 0.15 + x * 0.05)) << 8 |
                   pixel(60 + y * 3 / 4 + n);
        });
    }
    return a;
}

TEST(KeptColours, CaptionsComeBackExactlyInEveryModeColourCountAndLossyLevel) {
    const std::pair<std::string, gif_encode_options> modes[] = {
        {"standard", {}}, {"optimize", optimized}, {"fine", fine}};
    for (const bool hole : {false, true})
        for (const int colours_max : {256, 16})
            for (const int lossy : {0, 200}) {
                const animation a = captioned_scene(hole);
                std::vector<shown_picture> whole;
                for (const auto& [name, mode] : modes) {
                    SCOPED_TRACE(name + (hole ? ", hole, " : ", ") + std::to_string(colours_max) +
                                 " colours, lossy " + std::to_string(lossy));
                    const written w =
                        write(a, keeping(mode, {fill, outline, absent}, colours_max, lossy));
                    EXPECT_EQ(w.estimate, w.file.size());
                    const std::vector<shown_picture> pictures = shown(w.file);
                    ASSERT_EQ(pictures.size(), 4u);
                    std::vector<int> misses(4, 0);
                    for (int p = 0; p < a.width * a.height * 4; ++p) {
                        const int f = p / (a.width * a.height), at = p % (a.width * a.height);
                        const pixel caption = caption_at(at % a.width, at / a.width, f);
                        misses[f] += caption != clear && pictures[f][at] != caption;
                    }
                    EXPECT_EQ(misses, std::vector<int>(4, 0));
                    // The changes writer shows what whole frames show.
                    if (name == "standard")
                        whole = pictures;
                    EXPECT_TRUE(lossy > 0 || name != "optimize" || pictures == whole);
                }
            }
}

// A table's worth of colours, white among them: a kept colour adds no entry.
TEST(KeptColours, ExactColoursWriteTheSameBytesWithKeptColoursOrWithout) {
    animation a(16, 16);
    a.add([](int x, int y) { return pixel(y * 16 + x) * 0x010101; });
    const gif_encode_options exact{colour_mode::exact};
    EXPECT_EQ(write(a, keeping(exact, {fill, absent})).file, write(a, exact).file);
}

// As the fit writes the same frames again: a settlement serves only the kept
// colours it was made with.
TEST(KeptColours, ReusedFineSettlementsFollowTheKeptColours) {
    const animation a = captioned_scene(true);
    gif_writer reusing;
    reusing.reuse_settled_colours(true);
    for (const gif_encode_options& options :
         {keeping(fine, {fill, outline}, 16, 0), keeping(fine, {fill, outline}, 16, 100),
          keeping(fine, {}, 16, 100), keeping(fine, {fill}, 16, 100)}) {
        reusing.set_options(options);
        ASSERT_TRUE(reusing.open_in_memory({}, {184, 180}, 0));
        reusing.write_frames(a.frames, {}, {184, 180}, 10);
        ASSERT_TRUE(reusing.close());
        EXPECT_EQ(reusing.memory_file(), write(a, options).file) << options.kept.count;
    }
}

// 256 greys a step apart and indices wandering among them, mid-grey every
// 37th: at level 200 most pixels move, but none of mid-grey and none onto it.
TEST(LossyLzw, AKeptColourStaysAsTheTransparentEntryDoes) {
    std::vector<std::uint8_t> table(768);
    for (std::size_t e = 0; e < 768; ++e)
        table[e] = std::uint8_t(e / 3);
    std::mt19937 random(5);
    bytes indices(120 * 90);
    for (std::size_t p = 0, grey = 128; p < indices.size(); ++p) {
        grey = std::clamp(int(grey) + (random() % 4 == 0 ? int(random() % 9) - 4 : 0), 0, 255);
        indices[p] = std::uint8_t(p % 37 == 0 ? 0x80 : grey);
    }
    auto code = [&](lzw_lossy_encoder& coder, std::span<const std::uint32_t> kept, int clear) {
        memory_sink sink;
        coder.encode(9, sink, indices.data(), indices.size(),
                     {120, table.data(), clear, 200, kept});
        return std::pair{sink.take_bytes(), coder.written()};
    };
    // A coder that kept other colours before keeps only this one now.
    lzw_lossy_encoder used, fresh;
    const std::uint32_t others[] = {0x101010, 0xFFFFFF}, mid_grey[] = {0x808080};
    code(used, others, -1);
    const auto kept = code(used, mid_grey, -1);
    int moved = 0, mid_grey_moved = 0;
    for (std::size_t p = 0; p < indices.size(); ++p) {
        moved += indices[p] != kept.second[p];
        mid_grey_moved +=
            (indices[p] == 0x80 || kept.second[p] == 0x80) && indices[p] != kept.second[p];
    }
    EXPECT_GT(moved, int(indices.size()) / 10);
    EXPECT_EQ(mid_grey_moved, 0);
    // Its pixels pass on no error either.
    EXPECT_TRUE(kept == code(fresh, {}, 0x80));
}

} // namespace
} // namespace zoetra::test
