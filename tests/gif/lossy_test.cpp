// Lossy coding and fewer colours. The lossy coder's stream must be the
// greedy coder's stream of the indices it wrote, every pixel within its
// level's reach of the lossless file's colour and transparency untouched;
// lossy files must read alike in the project's reader, giflib and PIL;
// higher levels must give smaller files. colours_max must hold every table
// to that many colours in the smallest power of two. Every estimate is the
// file's length.
#include "shown_pictures.hpp"

#include "gif/lzw_encoder.hpp"
#include "gif/lzw_lossy.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <set>
#include <string>

namespace zoetra::test {
namespace {

namespace fs = std::filesystem;

pixel rgb(int red, int green, int blue) {
    return pixel(std::clamp(red, 0, 255)) << 16 | pixel(std::clamp(green, 0, 255)) << 8 |
           pixel(std::clamp(blue, 0, 255));
}

lab_colour lab_of_pixel(pixel p) {
    return lab_of(std::uint8_t(p >> 16), std::uint8_t(p >> 8), std::uint8_t(p));
}

// Photo-like frames: smooth colour fields with grain (the same in every
// frame), darker at the foot, and a block that moves, inside an opaque oval
// on a transparent screen, or on the whole screen.
animation photo_scene(int width, int height, int frames, bool oval) {
    animation a(width, height);
    for (int f = 0; f < frames; ++f) {
        std::mt19937 grain(7);
        a.add([&](int x, int y) {
            const int n = int(grain() % 17) - 8;
            const double dx = (x - width / 2.0) / (width / 2.0 - 0.5),
                         dy = (y - height / 2.0) / (height / 2.0 - 0.5);
            if (oval && dx * dx + dy * dy > 1)
                return clear;
            if (x >= 6 + 5 * f && x < 18 + 5 * f && y >= height / 3 && y < height / 3 + 12)
                return rgb(224, 160 + (y & 7) * 4, 32 + x % 5 * 6);
            // A dark band at the foot, near the transparent entry's black.
            const int shade = y >= height * 3 / 4 ? 4 : 1;
            return rgb((40 + x * 160 / width + n) / shade,
                       (int(128 + 70 * std::sin(y * 0.15 + x * 0.05)) - n) / shade,
                       (60 + y * 150 / height + n) / shade);
        });
    }
    return a;
}

gif_encode_options with(gif_encode_options options, int lossy, int colours_max = 256) {
    options.lossy = lossy;
    options.colours_max = colours_max;
    return options;
}

gif_encode_options undithered(gif_encode_options options) {
    options.dither = false;
    return options;
}

struct mode {
    const char* name;
    gif_encode_options options;
};
const std::vector<mode>& modes() {
    static const std::vector<mode> all = {
        {"standard", {}},
        {"optimize", optimized},
        {"fine", fine},
        {"standard, 16 colours", with({}, 0, 16)},
        {"optimize, 12 colours", with(optimized, 0, 12)},
        {"fine, 16 colours", with(fine, 0, 16)},
    };
    return all;
}

// ---- the coder ---------------------------------------------------------------

// A table of 256 colours on a 16 x 16 grid of red and green: neighbours a
// few delta E apart.
std::vector<std::uint8_t> grid_table() {
    std::vector<std::uint8_t> table(768);
    for (int e = 0; e < 256; ++e) {
        table[std::size_t(e) * 3] = std::uint8_t(e % 16 * 16 + 8);
        table[std::size_t(e) * 3 + 1] = std::uint8_t(e / 16 * 16 + 8);
        table[std::size_t(e) * 3 + 2] = 120;
    }
    return table;
}

TEST(LossyLzw, TheStreamIsTheGreedyStreamOfTheIndicesWrittenAndEveryDecoderReadsThem) {
    const std::vector<std::uint8_t> table = grid_table();
    std::vector<lab_colour> labs;
    for (int e = 0; e < 256; ++e)
        labs.push_back(lab_of(table[e * 3], table[e * 3 + 1], table[e * 3 + 2]));
    // 30,000 indices: several full tables.
    const int width = 300, height = 100;
    for (int code_size : {2, 4, 8}) {
        const int values = 1 << code_size;
        const int transparent = code_size == 8 ? 255 : -1;
        std::mt19937 random(code_size);
        bytes indices(std::size_t(width) * height);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const int noise = int(random() % 3) - 1;
                const int column = std::clamp(x / 20 + noise, 0, 15);
                const int row = std::clamp(y / 7 + noise, 0, 15);
                const bool hole = transparent >= 0 && x > 100 && x < 130 && y > 20 && y < 60;
                indices[std::size_t(y) * width + x] =
                    hole ? std::uint8_t(transparent) : std::uint8_t((row * 16 + column) % values);
            }
        memory_sink plain;
        lzw_encoder().encode(code_size + 1, plain, indices.data(), indices.size());
        for (int level : {1, 30, 100, max_lossy_level}) {
            SCOPED_TRACE("code size " + std::to_string(code_size) + ", level " +
                         std::to_string(level));
            lzw_lossy_encoder lossy;
            memory_sink coded;
            lossy.encode(code_size + 1, coded, indices.data(), indices.size(),
                         {width, table.data(), transparent, level});
            const bytes& written = lossy.written();
            ASSERT_EQ(written.size(), indices.size());

            memory_sink again;
            lzw_encoder().encode(code_size + 1, again, written.data(), written.size());
            EXPECT_EQ(coded.bytes(), again.bytes());
            bytes raster = coded.bytes();
            raster.insert(raster.begin(), std::uint8_t(code_size));
            raster.push_back(0);
            const reference_result read = reference_lzw_decode(raster, false, width, height);
            EXPECT_EQ(read.status, lzw_status::decoded);
            EXPECT_EQ(read.indices, written);

            const std::int64_t reach = lossy_reach(level);
            std::size_t moved = 0, beyond = 0, transparency_changed = 0;
            for (std::size_t p = 0; p < indices.size(); ++p) {
                moved += written[p] != indices[p];
                beyond += squared_distance(labs[indices[p]], labs[written[p]]) > reach * reach;
                transparency_changed += (indices[p] == transparent) != (written[p] == transparent);
            }
            EXPECT_EQ(beyond, 0u);
            EXPECT_EQ(transparency_changed, 0u);
            if (level == max_lossy_level) {
                EXPECT_GT(moved, indices.size() / 10);
                EXPECT_LT(coded.byte_count() * 10, plain.byte_count() * 8);
            }
        }
    }
}

// Noise of two colours a little nearer than the reach: without carrying the
// error, a stretch could take either colour throughout; with it, every block
// of 8 x 8 keeps about its average.
TEST(LossyLzw, TwoColourNoiseKeepsItsAverageInEveryBlock) {
    std::vector<std::uint8_t> table(768, 0);
    for (int e = 0; e < 4; ++e)
        std::fill_n(table.begin() + e * 3, 3, std::uint8_t(e % 2 == 0 ? 100 : 130));
    const lab_colour grey[2] = {lab_of(100, 100, 100), lab_of(130, 130, 130)};
    const int level = 70;
    ASSERT_LT(squared_distance(grey[0], grey[1]),
              std::int64_t(lossy_reach(level)) * lossy_reach(level));
    const int width = 256, height = 64, block = 8;
    std::mt19937 random(4);
    bytes indices(std::size_t(width) * height);
    for (auto& index : indices)
        index = std::uint8_t(random() % 2);
    lzw_lossy_encoder coder;
    memory_sink coded;
    coder.encode(3, coded, indices.data(), indices.size(), {width, table.data(), -1, level});
    const bytes& written = coder.written();
    std::size_t moved = 0;
    double worst = 0;
    for (int top = 0; top < height; top += block)
        for (int left = 0; left < width; left += block) {
            double before = 0, after = 0;
            for (int y = top; y < top + block; ++y)
                for (int x = left; x < left + block; ++x) {
                    const std::size_t p = std::size_t(y) * width + x;
                    before += grey[indices[p] % 2].l;
                    after += grey[written[p] % 2].l;
                    moved += written[p] != indices[p];
                }
            worst = std::max(worst, std::abs(after - before) / (block * block));
        }
    EXPECT_GT(moved, indices.size() / 10);
    // An eighth of the two colours' distance. (Each colour for itself,
    // stretches that took one colour shift a block by two eighths or more.)
    EXPECT_LT(worst, (grey[1].l - grey[0].l) / 8.0);
}

// ---- files ---------------------------------------------------------------------

// The pictures PIL composes from a file.
std::vector<shown_picture> read_with_pil(const bytes& file, int width, int height) {
    const std::string python = ZOETRA_PYTHON;
    EXPECT_TRUE(!python.empty() && python.find("NOTFOUND") == std::string::npos)
        << "reading with PIL needs a python3 with PIL (apt-get install python3-pil)";
    const fs::path folder = scratch_folder("gif-lossy-pil");
    const fs::path gif = folder / "file.gif", frames = folder / "frames.rgba";
    write_file(gif, file);
    const std::string command = "\"" + python +
                                "\" \"" ZOETRA_SOURCE_DIR "/tests/gif/pil_frames.py\" \"" +
                                gif.string() + "\" \"" + frames.string() + "\"";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    const bytes rgba = read_file<bytes>(frames);
    const std::size_t pixels = std::size_t(width) * height;
    std::vector<shown_picture> out;
    for (std::size_t at = 0; at + pixels * 4 <= rgba.size(); at += pixels * 4) {
        shown_picture& picture = out.emplace_back(pixels);
        for (std::size_t p = 0; p < pixels; ++p) {
            const std::uint8_t* px = rgba.data() + at + p * 4;
            picture[p] = px[3] == 0 ? clear : rgb(px[0], px[1], px[2]);
        }
    }
    return out;
}

TEST(LossyGif, FilesReadAlikeInOurReaderGiflibAndPil) {
    const animation a = photo_scene(64, 48, 4, true);
    for (const mode& m : modes()) {
        SCOPED_TRACE(m.name);
        const bytes file = write(a, with(m.options, 60, m.options.colours_max)).file;
        const std::vector<shown_picture> pictures = shown(file); // ours and giflib's
        ASSERT_EQ(pictures.size(), a.frames.size());
        EXPECT_TRUE(read_with_pil(file, a.width, a.height) == pictures) << "PIL reads otherwise";
    }
}

TEST(LossyGif, EveryPixelStaysWithinItsLevelOfTheLosslessFile) {
    const animation a = photo_scene(64, 48, 4, true);
    for (const mode& m : modes()) {
        const written lossless = write(a, m.options);
        const std::vector<shown_picture> exact = shown(lossless.file);
        for (int level : {10, 60, max_lossy_level}) {
            SCOPED_TRACE(std::string(m.name) + ", level " + std::to_string(level));
            const gif_encode_options options = with(m.options, level, m.options.colours_max);
            const written lossy = write(a, options);
            EXPECT_EQ(lossy.estimate, lossy.file.size());
            EXPECT_EQ(write(a, options, false).file, lossy.file) << "the helper thread matters";
            const std::vector<shown_picture> pictures = shown(lossy.file);
            ASSERT_EQ(pictures.size(), exact.size());
            const std::int64_t reach = lossy_reach(level);
            std::size_t moved = 0, beyond = 0, transparency_changed = 0;
            for (std::size_t f = 0; f < exact.size(); ++f)
                for (std::size_t p = 0; p < exact[f].size(); ++p) {
                    const pixel was = exact[f][p], is = pictures[f][p];
                    if ((was == clear) != (is == clear)) {
                        ++transparency_changed;
                        continue;
                    }
                    if (was == clear)
                        continue;
                    moved += was != is;
                    beyond += squared_distance(lab_of_pixel(was), lab_of_pixel(is)) > reach * reach;
                }
            EXPECT_EQ(transparency_changed, 0u);
            EXPECT_EQ(beyond, 0u);
            if (level == max_lossy_level) {
                EXPECT_GT(moved, 0u);
                EXPECT_LT(lossy.file.size(), lossless.file.size());
            }
        }
    }
}

TEST(LossyGif, HigherLevelsMakeSmallerFiles) {
    const animation a = photo_scene(160, 120, 1, false);
    for (const mode& m : {modes()[0], modes()[2]}) {
        SCOPED_TRACE(m.name);
        const std::size_t lossless = write(a, m.options).file.size();
        std::size_t before = lossless;
        for (int level = 20; level <= max_lossy_level; level += 20) {
            const std::size_t size = write(a, with(m.options, level)).file.size();
            EXPECT_LE(size, before + 8) << "level " << level;
            before = size;
        }
        EXPECT_LT(before * 2, lossless) << "the highest level";
    }
}

// One writer reusing the colours fine colours settled gives, at every level,
// the bytes a fresh writer gives, also after other options in between.
TEST(LossyGif, ColoursSettledOnceGiveTheBytesOfAFreshWriteAtEveryLevel) {
    const animation scenes[] = {photo_scene(96, 64, 5, true), photo_scene(96, 64, 3, false)};
    for (const animation& a : scenes) {
        const crop_size size{std::uint16_t(a.width), std::uint16_t(a.height)};
        gif_writer writer;
        writer.reuse_settled_colours(true);
        for (const gif_encode_options& options :
             {with(fine, 40), with(fine, 0), with(optimized, 40), with(fine, 200),
              undithered(with(fine, 40)), undithered(with(fine, 0)), with(fine, 100, 16),
              with(fine, 0, 16)}) {
            SCOPED_TRACE(::testing::Message() << "lossy " << options.lossy << ", at most "
                                              << options.colours_max << " colours");
            writer.set_options(options);
            ASSERT_TRUE(writer.open_in_memory({}, size, 0));
            writer.write_frames(a.frames, {}, size, 10);
            ASSERT_TRUE(writer.close());
            EXPECT_EQ(writer.memory_file(), write(a, options).file);
        }
    }
}

// ---- colours_max ---------------------------------------------------------------

// Per table, the colours its frames draw with and the highest index they
// use or name as transparent.
struct table_use {
    std::set<std::uint32_t> colours;
    int highest = -1;
};

TEST(ColoursMax, EveryTableHoldsAtMostThatManyInTheSmallestPowerOfTwo) {
    const animation scenes[] = {photo_scene(64, 48, 4, true), photo_scene(64, 48, 1, false)};
    for (const animation& a : scenes) {
        for (int most : {2, 3, 16, 17, 100, 255}) {
            for (const mode& m : {modes()[0], modes()[1], modes()[2]}) {
                SCOPED_TRACE(std::string(m.name) + ", " + std::to_string(a.frames.size()) +
                             " frames, at most " + std::to_string(most));
                const written made = write(a, with(m.options, most == 17 ? 60 : 0, most));
                EXPECT_EQ(made.estimate, made.file.size());
                const std::optional<giflib_file> gif = giflib_decode(made.file);
                ASSERT_TRUE(gif);
                table_use global;
                // Whether a frame that uses the global table names a
                // transparent entry, and whether one uses it.
                bool transparency_named = false, transparency_used = false;
                for (const giflib_frame& f : gif->frames) {
                    const bool uses_transparency =
                        std::find(f.indices.begin(), f.indices.end(), f.transparent_index) !=
                        f.indices.end();
                    if (f.local_table.empty()) {
                        transparency_named = transparency_named || f.transparent_index >= 0;
                        transparency_used = transparency_used || uses_transparency;
                    }
                    table_use local;
                    table_use& use = f.local_table.empty() ? global : local;
                    const bytes& table = f.local_table.empty() ? gif->global_table : f.local_table;
                    use.highest = std::max(use.highest, f.transparent_index);
                    for (std::uint8_t index : f.indices) {
                        use.highest = std::max(use.highest, int(index));
                        if (index != f.transparent_index)
                            use.colours.insert(std::uint32_t(table[index * 3]) << 16 |
                                               std::uint32_t(table[index * 3 + 1]) << 8 |
                                               table[index * 3 + 2]);
                    }
                    if (f.local_table.empty())
                        continue;
                    // Fine colours give a frame's own table a transparent
                    // entry only when the frame leaves a pixel undrawn.
                    if (m.options.colours == colour_mode::fine && f.transparent_index >= 0) {
                        EXPECT_TRUE(uses_transparency);
                    }
                    EXPECT_LE(local.colours.size(), std::size_t(most));
                    EXPECT_EQ(f.local_table.size() / 3,
                              std::max(2u, std::bit_ceil(unsigned(local.highest + 1))));
                }
                // The global table has a transparent entry only when a frame
                // uses it, but for frames drawn as changes in the standard
                // colours, which always have one.
                if (!m.options.optimize) {
                    EXPECT_EQ(transparency_named, transparency_used);
                }
                if (global.highest >= 0) {
                    EXPECT_LE(global.colours.size(), std::size_t(most));
                    EXPECT_EQ(gif->global_table.size() / 3,
                              std::max(2u, std::bit_ceil(unsigned(global.highest + 1))));
                }
                // Transparency stays where it was.
                const std::vector<shown_picture> pictures = shown(made.file);
                ASSERT_EQ(pictures.size(), a.frames.size());
                for (std::size_t i = 0; i < pictures.size(); ++i) {
                    const shown_picture source = a.source(i);
                    for (std::size_t p = 0; p < source.size(); ++p)
                        ASSERT_EQ(pictures[i][p] == clear, source[p] == clear) << "frame " << i;
                }
            }
        }
    }
}

// The standard colours take every colour allowed on a photo, and the
// transparent entry only when a frame has a transparent pixel.
TEST(ColoursMax, StandardColoursFillTheTableAndAddTheTransparentEntryOnlyWhenNeeded) {
    for (bool oval : {false, true}) {
        const animation a = photo_scene(64, 48, 2, oval);
        for (int most : {16, 17}) {
            SCOPED_TRACE(std::string(oval ? "oval" : "opaque") + ", at most " +
                         std::to_string(most));
            const std::optional<giflib_file> gif = giflib_decode(write(a, with({}, 0, most)).file);
            ASSERT_TRUE(gif);
            const int entries = most + (oval ? 1 : 0);
            EXPECT_EQ(gif->global_table.size() / 3, std::bit_ceil(unsigned(entries)));
            for (const giflib_frame& f : gif->frames) {
                EXPECT_EQ(f.transparent_index, oval ? most : -1);
                EXPECT_EQ(*std::max_element(f.indices.begin(), f.indices.end()), entries - 1);
            }
        }
    }
}

} // namespace
} // namespace zoetra::test
