// Frames written as their changes (--optimize) and fine colours: the pictures
// a viewer composes, with the project's reader and with giflib, must be those
// of the default file (or of the source, for fine colours); the estimate is
// the file's length; the file never grows; the LZW coder with lookahead gives
// streams every decoder reads back.
#include "shown_pictures.hpp"

#include "gif/lzw_lookahead.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <random>

namespace zoetra::test {
namespace {

// Cases built to need each way a frame can be drawn. A: a disc on a
// transparent screen that grows and shrinks (its shrinking clears); the same
// picture twice; a frame that is all transparent between opaque ones; one
// pixel changing; a last frame opaque where the first is transparent.
struct planned_case {
    const char* name;
    std::function<void(animation&)> make;
};

// One of 48 well-apart colours, so that fine colours keep every one.
pixel colour_of(int x, int y) {
    const int k = (x * 7 + y * 3) % 48;
    return pixel(k % 4 * 80) << 16 | pixel(k / 4 % 4 * 80) << 8 | pixel(k / 16 * 120);
}

const std::vector<planned_case>& planned_cases() {
    static const std::vector<planned_case> cases = {
        {"a disc on a transparent screen grows and shrinks",
         [](animation& a) {
             for (int radius : {3, 7, 11, 7, 2, 9}) {
                 a.add([&](int x, int y) {
                     const int dx = x - 12, dy = y - 9;
                     return dx * dx + dy * dy <= radius * radius ? colour_of(x, y) : clear;
                 });
             }
         }},
        {"the same picture twice",
         [](animation& a) {
             for (int f : {0, 1, 1, 2}) {
                 a.add([&](int x, int y) {
                     return x < 8 + 4 * f && y > 2 ? colour_of(x, y) : clear;
                 });
             }
         }},
        {"a frame all transparent between opaque ones",
         [](animation& a) {
             a.add([](int x, int y) { return colour_of(x, y); });
             a.add([](int, int) { return clear; });
             a.add([](int x, int y) { return x % 3 ? colour_of(y, x) : clear; });
         }},
        {"one pixel changes, then one turns transparent",
         [](animation& a) {
             a.add([](int x, int y) { return colour_of(x, y); });
             a.add(
                 [](int x, int y) { return x == 5 && y == 4 ? pixel(0xFFFFFF) : colour_of(x, y); });
             a.add([](int x, int y) { return x == 20 && y == 15 ? clear : colour_of(x, y); });
         }},
        {"the last frame covers what the first leaves transparent",
         [](animation& a) {
             a.add([](int x, int y) { return x < 10 ? colour_of(x, y) : clear; });
             a.add([](int x, int y) { return x < 16 ? colour_of(x, y) : clear; });
             a.add([](int x, int y) { return colour_of(x, y); });
         }},
    };
    return cases;
}

TEST(FrameChanges, OptimizedFilesShowTheDefaultPicturesAndNeverGrow) {
    for (const planned_case& c : planned_cases()) {
        SCOPED_TRACE(c.name);
        animation a(25, 19);
        c.make(a);
        const written plain = write(a, {});
        const written changes = write(a, optimized);
        EXPECT_EQ(changes.estimate, changes.file.size());
        EXPECT_LE(changes.file.size(), plain.file.size());
        EXPECT_EQ(shown(changes.file), shown(plain.file));
        // Played once, the last frame need not clear for the first.
        EXPECT_EQ(shown(write(a, optimized, true, 1).file), shown(plain.file));
        EXPECT_EQ(write(a, optimized, false).file, changes.file) << "the helper thread matters";
    }
}

TEST(FrameChanges, FineColoursShowFewColouredSourcesExactly) {
    for (const planned_case& c : planned_cases()) {
        SCOPED_TRACE(c.name);
        animation a(25, 19);
        c.make(a);
        const written made = write(a, fine);
        EXPECT_EQ(made.estimate, made.file.size());
        const std::vector<shown_picture> pictures = shown(made.file);
        ASSERT_EQ(pictures.size(), a.frames.size());
        for (std::size_t i = 0; i < pictures.size(); ++i)
            EXPECT_EQ(pictures[i], a.source(i)) << "frame " << i;
        EXPECT_EQ(write(a, fine, false).file, made.file) << "the helper thread matters";
    }
}

TEST(FrameChanges, EachFrameDrawsOnlyTheRectangleThatChangedAndClearsOnlyWhenItMust) {
    animation a(25, 19);
    planned_cases()[1].make(a); // grows, stays, grows
    std::optional<giflib_file> same_twice = giflib_decode(write(a, optimized).file);
    ASSERT_TRUE(same_twice);
    ASSERT_EQ(same_twice->frames.size(), 4u);
    const giflib_frame& repeat = same_twice->frames[2];
    EXPECT_EQ(repeat.width * repeat.height, 1); // one transparent pixel
    EXPECT_EQ(int(repeat.indices[0]), repeat.transparent_index);
    // Nothing turns transparent, but the first picture follows the last.
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_EQ(same_twice->frames[i].disposal, DISPOSE_DO_NOT) << "frame " << i;
    EXPECT_EQ(same_twice->frames[3].disposal, DISPOSE_BACKGROUND);

    animation b(25, 19);
    b.add([](int x, int y) { return colour_of(x, y); });
    b.add([](int x, int y) { return x == 5 && y == 4 ? pixel(0xFFFFFF) : colour_of(x, y); });
    b.add([](int x, int y) { return colour_of(x, y); });
    std::optional<giflib_file> one_pixel = giflib_decode(write(b, optimized).file);
    ASSERT_TRUE(one_pixel);
    for (std::size_t i : {1u, 2u}) {
        const giflib_frame& f = one_pixel->frames[i];
        EXPECT_EQ(std::vector<int>({f.left, f.top, f.width, f.height, f.disposal}),
                  std::vector<int>({5, 4, 1, 1, DISPOSE_DO_NOT}));
    }

    // A pixel that turns transparent: the frame before clears a rectangle
    // that takes it in, and the next frame draws the rest of that again.
    animation c(25, 19);
    planned_cases()[3].make(c);
    std::optional<giflib_file> clears = giflib_decode(write(c, optimized).file);
    ASSERT_TRUE(clears);
    const giflib_frame& before = clears->frames[1];
    EXPECT_EQ(
        std::vector<int>({before.left, before.top, before.width, before.height, before.disposal}),
        std::vector<int>({5, 4, 16, 12, DISPOSE_BACKGROUND}));
    const giflib_frame& after = clears->frames[2];
    EXPECT_EQ(std::vector<int>({after.left, after.top, after.width, after.height}),
              std::vector<int>({5, 4, 16, 12}));
}

// Random small animations: each frame takes the one before and changes a
// random rectangle to a random colour or to transparent, sometimes nothing.
// Screens down to one pixel.
TEST(FrameChanges, RandomAnimationsShowTheirPicturesInEveryMode) {
    std::mt19937 random(11);
    const pixel colours[5] = {clear, 0x000000, 0xFF8000, 0x2040C0, 0xFFFFFF};
    for (int round = 0; round < 40; ++round) {
        const int width = round < 3 ? 1 : int(random() % 12) + 1;
        const int height = round < 3 ? round * 3 + 1 : int(random() % 9) + 1;
        SCOPED_TRACE("round " + std::to_string(round) + ", " + std::to_string(width) + " x " +
                     std::to_string(height));
        animation a(width, height);
        shown_picture now(std::size_t(width) * height, colours[random() % 5]);
        for (int f = 0, frames = int(random() % 6) + 1; f < frames; ++f) {
            if (random() % 4 != 0) {
                const int left = int(random() % width), top = int(random() % height);
                const int right = left + int(random() % (width - left)),
                          bottom = top + int(random() % (height - top));
                const pixel colour = colours[random() % 5];
                for (int y = top; y <= bottom; ++y)
                    for (int x = left; x <= right; ++x)
                        now[std::size_t(y) * width + x] = colour;
            }
            a.add([&](int x, int y) { return now[std::size_t(y) * width + x]; });
        }
        const written plain = write(a, {});
        const written changes = write(a, optimized);
        EXPECT_EQ(changes.estimate, changes.file.size());
        EXPECT_LE(changes.file.size(), plain.file.size());
        EXPECT_EQ(shown(changes.file), shown(plain.file));
        const written made = write(a, fine);
        EXPECT_EQ(made.estimate, made.file.size());
        const std::vector<shown_picture> pictures = shown(made.file);
        ASSERT_EQ(pictures.size(), a.frames.size());
        for (std::size_t i = 0; i < pictures.size(); ++i)
            EXPECT_EQ(pictures[i], a.source(i)) << "frame " << i;
    }
}

// Photo-like frames on a transparent screen: a still background with grain
// and a block moving over it, inside an opaque oval.
animation still_scene(int frames) {
    animation a(60, 40);
    for (int f = 0; f < frames; ++f) {
        std::mt19937 grain(7); // the same grain in every frame
        a.add([&](int x, int y) {
            const int n = int(grain() % 13) - 6;
            const double dx = (x - 30) / 29.0, dy = (y - 20) / 19.0;
            if (dx * dx + dy * dy > 1)
                return clear;
            if (x >= 10 + 6 * f && x < 22 + 6 * f && y >= 12 && y < 26)
                return pixel(0xD04030 + (x & 7) * 0x000404);
            return pixel(std::clamp(x * 4 + n, 0, 255)) << 16 |
                   pixel(std::clamp(int(128 + 80 * std::sin(y * 0.2)) - n, 0, 255)) << 8 |
                   pixel(std::clamp(y * 6 + n, 0, 255));
        });
    }
    return a;
}

TEST(FrameChanges, FineColoursStayCloseToTheSourceAndStillPixelsKeepTheirColour) {
    animation a = still_scene(5);
    const written made = write(a, fine);
    EXPECT_EQ(made.estimate, made.file.size());
    const std::vector<shown_picture> pictures = shown(made.file);
    ASSERT_EQ(pictures.size(), a.frames.size());
    double squared = 0;
    std::size_t samples = 0, still = 0;
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        const shown_picture source = a.source(i);
        for (std::size_t p = 0; p < source.size(); ++p) {
            ASSERT_EQ(pictures[i][p] == clear, source[p] == clear) << "frame " << i;
            if (source[p] == clear)
                continue;
            for (int shift : {0, 8, 16}) {
                const double d =
                    double(pictures[i][p] >> shift & 0xFF) - (source[p] >> shift & 0xFF);
                squared += d * d;
                ++samples;
            }
            if (i > 0 && source[p] == a.source(i - 1)[p]) {
                ++still;
                EXPECT_EQ(pictures[i][p], pictures[i - 1][p]) << "frame " << i << " pixel " << p;
            }
        }
    }
    EXPECT_GT(still, 0u);
    EXPECT_GT(10 * std::log10(255.0 * 255.0 * samples / squared), 35.0);
}

TEST(FrameChanges, FineColoursGiveAFrameATableOfItsOwnOnlyWhenItNeedsOne) {
    animation a(16, 16);
    a.add([](int x, int) { return x < 8 ? pixel(0x102030) : pixel(0xA0B0C0); });
    a.add([](int x, int) { return x < 4 ? pixel(0xA0B0C0) : pixel(0x102030); });    // same colours
    a.add([](int x, int y) { return pixel(x * 16 + 8) << 8 | pixel(y * 16 + 8); }); // 256 new
    std::optional<giflib_file> gif = giflib_decode(write(a, fine).file);
    ASSERT_TRUE(gif);
    ASSERT_EQ(gif->frames.size(), 3u);
    EXPECT_TRUE(gif->frames[0].local_table.empty());
    EXPECT_TRUE(gif->frames[1].local_table.empty());
    EXPECT_EQ(gif->frames[2].local_table.size(), 3u * 256);
}

// ---- LZW with lookahead --------------------------------------------------------

bytes lookahead_coded(const bytes& indices, int code_size) {
    memory_sink sink;
    lzw_lookahead_encoder coder;
    coder.encode(code_size + 1, sink, indices.data(), indices.size());
    return sink.take_bytes();
}

TEST(LzwLookahead, EveryDecoderReadsBackRunsNoiseAndRepeatsAcrossFullTables) {
    std::mt19937 random(3);
    struct input {
        const char* name;
        int code_size;
        bytes indices;
    };
    std::vector<input> inputs;
    for (int code_size : {2, 4, 8}) {
        const unsigned values = 1u << code_size;
        bytes noise(30000), runs, repeats;
        for (auto& v : noise)
            v = std::uint8_t(random() % values);
        while (runs.size() < 40000)
            runs.insert(runs.end(), random() % 300 + 1, std::uint8_t(random() % values));
        for (int k = 0; k < 500; ++k) // the same phrases in varying order: lookahead pays
            for (int n = 0, phrase = int(random() % 5); n < 5 + phrase; ++n)
                repeats.push_back(std::uint8_t((phrase * 7 + n * (phrase + 1)) % values));
        inputs.push_back({"noise", code_size, noise});
        inputs.push_back({"runs", code_size, runs});
        inputs.push_back({"repeats", code_size, repeats});
    }
    inputs.push_back({"one index", 8, {42}});
    for (const input& in : inputs) {
        SCOPED_TRACE(std::string(in.name) + " at code size " + std::to_string(in.code_size));
        // Rows of 250 (the reader takes no side over 16384), the last padded.
        const int width = 250, height = std::max<int>(int(in.indices.size() + 249) / 250, 1);
        bytes expected = in.indices;
        expected.resize(std::size_t(width) * height, 0);
        const bytes raster = [&] {
            bytes r = lookahead_coded(expected, in.code_size);
            r.insert(r.begin(), std::uint8_t(in.code_size));
            r.push_back(0);
            return r;
        }();
        const reference_result reference = reference_lzw_decode(raster, false, width, height);
        EXPECT_EQ(reference.status, lzw_status::decoded);
        EXPECT_EQ(reference.indices, expected);

        // An image around it (colour i is blue i), read by giflib and by the
        // project's reader.
        table colours(std::size_t(1) << in.code_size);
        for (std::size_t i = 0; i < colours.size(); ++i)
            colours[i] = std::uint32_t(i);
        gif_builder file(width, height, colours);
        file.image_with_raster({0, 0, width, height, {}, in.code_size}, raster);
        const bytes whole = file.finish();
        std::optional<giflib_file> gif = giflib_decode(whole);
        ASSERT_TRUE(gif);
        ASSERT_EQ(gif->frames.size(), 1u);
        EXPECT_EQ(gif->frames[0].indices, expected);
        gif_reader reader;
        ASSERT_TRUE(reader.open_bytes(whole.data(), whole.size()));
        std::unique_ptr<buffer> frame = reader.read_frame();
        ASSERT_TRUE(frame != nullptr);
        bytes blues;
        for (pixel p : pixels_of(*frame))
            blues.push_back(std::uint8_t(p & 0xFF));
        EXPECT_EQ(blues, expected);
    }
}

} // namespace
} // namespace zoetra::test
