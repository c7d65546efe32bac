// The LZW coder against the plain reference coder and giflib; the writer's
// files as giflib, ImageMagick and ffmpeg read them; its colour reduction
// against the JPEG library's two-pass quantizer, which implements the same
// published method: the same palettes and dithered indices on photos, noise
// (errors far beyond the damping limit), few colours and a crowded cell.
#include "../cli/run_command.hpp"
#include "gif_support.hpp"

#include "app/services/messages.hpp"
#include "gif/byte_sink.hpp"
#include "gif/encoder.hpp"
#include "gif/lzw_encoder.hpp"
#include "gif/quantizer.hpp"

#include <gtest/gtest.h>

#include <jpeglib.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <random>
#include <tuple>

namespace zoetra::test {
namespace {

bytes encode(const bytes& input, int code_size = 8) {
    memory_sink sink;
    lzw_encode(code_size + 1, sink, input.data(), input.size());
    return sink.bytes();
}

bytes random_indices(std::size_t count, int range, std::uint32_t seed = 7) {
    std::mt19937 random(seed);
    return random_image(random, count, range, 0);
}

TEST(LzwEncode, EqualsThePlainCoderCountsItsBytesAndGiflibReadsIt) {
    struct sample {
        const char* name;
        bytes input;
        int width;
        int code_size = 8;
    };
    bytes gradient(250 * 350);
    for (std::size_t i = 0; i < gradient.size(); ++i)
        gradient[i] = std::uint8_t((i % 350) * 255 / 349 ^ (i / 350 % 4));
    bytes zero_heavy = random_indices(100000, 2, 3); // key 0 after prefix 0 is found too
    for (auto& v : zero_heavy)
        v = v ? 255 : 0;
    // Long runs of two colours, as in line art: many strings are found as the
    // child their prefix met last, and the table fills and clears often.
    std::mt19937 random(11);
    const bytes two_colour_runs = random_image(random, 400000, 2, 97);
    const bytes runs_of_many = random_image(random, 400000, 256, 80);
    const sample samples[] = {{"empty", {}, 0},
                              {"single", {42}, 1},
                              {"pair", {0, 0}, 2},
                              {"zeros", bytes(200000, 0), 1000},
                              {"random", random_indices(300000, 256), 1000},
                              {"few values", random_indices(300000, 3, 99), 1000},
                              {"gradient", gradient, 350},
                              {"zero heavy", zero_heavy, 1000},
                              {"code size 2", random_indices(40000, 4), 200, 2},
                              {"two-colour runs", two_colour_runs, 1000},
                              {"two-colour runs, code size 2", two_colour_runs, 1000, 2},
                              {"runs of many colours", runs_of_many, 1000}};
    for (const sample& s : samples) {
        const bytes blocks = encode(s.input, s.code_size);
        EXPECT_EQ(blocks, sub_blocks(plain_lzw(s.input, s.code_size), 254)) << s.name;
        EXPECT_EQ(lzw_encoded_size(s.code_size + 1, s.input.data(), s.input.size()), blocks.size())
            << s.name;
        if (s.input.empty())
            continue;
        const int height = int(s.input.size()) / s.width;
        bytes raster = blocks;
        raster.insert(raster.begin(), std::uint8_t(s.code_size));
        raster.push_back(0);
        const auto gif = giflib_decode(gif_builder(s.width, height, table(1u << s.code_size))
                                           .image_with_raster({0, 0, s.width, height}, raster)
                                           .finish());
        ASSERT_TRUE(gif && gif->frames.size() == 1) << s.name;
        EXPECT_TRUE(gif->frames[0].indices == s.input) << s.name;
    }
}

constexpr pixel background = transparent_flag; // what a fresh frame holds

pixel rgb_pixel(int r, int g, int b) {
    return pixel(r) << 16 | pixel(g) << 8 | pixel(b);
}

// Photo-like content in a moving blob, transparent outside it.
frame_set animation(int frame_count, int width, int height) {
    frame_set set;
    for (int f = 0; f < frame_count; ++f) {
        std::mt19937 grain(std::uint32_t(f + 1));
        set.add(width, height, [&](int x, int y) {
            const double cx = width * (0.3 + 0.4 * f / std::max(frame_count - 1, 1));
            const double dx = x - cx, dy = y - height * 0.5;
            if (dx * dx + dy * dy > 0.16 * width * height)
                return background;
            const int n = int(grain() % 9) - 4;
            return rgb_pixel(std::clamp(x * 255 / width + n, 0, 255),
                             std::clamp(int(128 + 90 * std::sin((x + f * 7) * 0.06)), 0, 255),
                             std::clamp(y * 255 / height - n, 0, 255));
        });
    }
    return set;
}

struct saved {
    std::string path;
    bytes file;
    std::uint32_t reported_size = 0, estimate = 0;
    std::array<std::uint8_t, 768> table{};
    std::vector<std::string> progress; // both writers' lines
};

// Saves the frames to a file named after the test and, with a second writer,
// estimates the size.
saved save(const frame_set& set, int width, int height, std::uint16_t loop, std::uint16_t delay,
           crop_origin origin = {}) {
    const crop_size size{std::uint16_t(width), std::uint16_t(height)};
    saved out;
    const std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    out.path = (scratch_folder("gif") / (test + std::to_string(loop) + ".gif")).string();
    gif_writer writer, estimator;
    writer.on_progress =
        estimator.on_progress = [&](const std::string& line) { out.progress.push_back(line); };
    EXPECT_TRUE(writer.open(out.path, origin, size, loop));
    writer.write_frames(set.frames, origin, size, delay);
    out.table = writer.global_table();
    EXPECT_TRUE(writer.close());
    out.reported_size = writer.size();
    EXPECT_TRUE(estimator.open_for_estimate("temmmp.gif", origin, size, loop));
    estimator.estimate_frames(set.frames, origin, size, delay);
    EXPECT_TRUE(estimator.close());
    out.estimate = estimator.size();
    out.file = read_file<bytes>(out.path);
    return out;
}

std::array<int, 3> table_colour(const std::array<std::uint8_t, 768>& table, int index) {
    return {table[index * 3], table[index * 3 + 1], table[index * 3 + 2]};
}
std::array<int, 3> channels(pixel p) {
    return {int(p >> 16 & 0xFF), int(p >> 8 & 0xFF), int(p & 0xFF)};
}

// The layout has a loop extension unless the loop count is one.
TEST(GifWriter, FileLayoutIsByteExactAndProgressComesInFrameOrder) {
    for (int loop : {0, 1, 5, 65535}) {
        const saved out = save(animation(2, 20, 10), 20, 10, std::uint16_t(loop), 50);
        bytes expected = {'G', 'I', 'F', '8', '9', 'a', 20, 0, 10, 0, 0xF7, 0, 0};
        expected.insert(expected.end(), out.table.begin(), out.table.end());
        const int repeat = std::max(loop - 1, 0);
        if (loop != 1)
            expected.insert(expected.end(),
                            {0x21, 0xFF, 0x0B, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.',
                             '0', 3, 1, std::uint8_t(repeat), std::uint8_t(repeat >> 8), 0});
        // The first frame's control extension (transparent index 255, disposal
        // 2) and descriptor follow; the file ends with the trailer.
        expected.insert(expected.end(), {0x21, 0xF9, 4, 0x09, 50, 0, 0xFF, 0, 0x2C, 0, 0, 0, 0, 20,
                                         0, 10, 0, 0, 8});
        const bytes& b = out.file;
        ASSERT_GT(b.size(), expected.size());
        EXPECT_EQ(bytes(b.begin(), b.begin() + long(expected.size())), expected) << loop;
        EXPECT_EQ(b.back(), 0x3B);
        EXPECT_EQ(out.progress,
                  (std::vector<std::string>{
                      "Saving gif89 frame 1 of 2 with delay of 0.50 seconds between frames.\n",
                      "Saving gif89 frame 2 of 2 with delay of 0.50 seconds between frames.\n",
                      "Estimating gif89 frame 1 of 2.", "Estimating gif89 frame 2 of 2."}));
    }
}

TEST(GifWriter, DelayIsTruncatedToHundredths) {
    EXPECT_EQ(gif_delay_from_seconds(0.5), 50);
    EXPECT_EQ(gif_delay_from_seconds(0.29), 28); // 28.999... is not rounded up
    EXPECT_EQ(gif_delay_from_seconds(0.009), 0);
    EXPECT_EQ(gif_delay_from_seconds(-3), 0);
    EXPECT_EQ(gif_delay_from_seconds(1e9), 65535);
    EXPECT_EQ(gif_delay_from_seconds(std::nan("")), 0);
    EXPECT_EQ(gif_delay_from_seconds(INFINITY), 0);
}

// Colours at cell centres, at most 255 in all frames: every step of the
// reduction is exact, so each opaque pixel must come back as its colour.
frame_set exact_colours() {
    frame_set set;
    std::vector<pixel> colours;
    for (int k = 0; k < 120; ++k)
        colours.push_back(
            rgb_pixel((k * 5 % 32) * 8 + 4, (k * 11 % 64) * 4 + 2, (k * 3 % 32) * 8 + 4));
    for (int f = 0; f < 3; ++f) // overlapping subsets of the colours
        set.add(37, 23, [&](int x, int y) {
            return (x + y + f) % 7 == 0 ? background : colours[(x / 3 + y * 5) % 60 + f * 30];
        });
    set.add(37, 23, [](int, int) { return background; }); // fully transparent
    return set;
}

TEST(GifWriter, GiflibReadsBackWhatWasWrittenAndTheEstimateIsItsLength) {
    struct setup {
        frame_set set;
        int width, height;
        std::uint16_t loop, delay;
        double least_psnr = 22; // a wrong crop or translation to the table scores about 10 dB
        crop_origin origin = {};
    } const setups[] = {{exact_colours(), 37, 23, 0, 50, INFINITY},
                        {animation(1, 1, 1), 1, 1, 0, 0},
                        {animation(3, 64, 48), 64, 48, 1, 50},
                        {animation(6, 200, 150), 200, 150, 5, 7},
                        {animation(2, 90, 70), 90, 70, 0, 100, 22, {10, 5}},
                        {animation(0, 16, 16), 16, 16, 0, 10},
                        {animation(4, 333, 17), 333, 17, 2, 65535}};
    for (const setup& s : setups) {
        const int w = s.width - s.origin.x, h = s.height - s.origin.y;
        const std::size_t count = s.set.frames.size();
        SCOPED_TRACE(::testing::Message() << count << " x " << w << "x" << h);
        const saved out = save(s.set, w, h, s.loop, s.delay, s.origin);
        EXPECT_EQ(out.estimate, out.file.size());
        EXPECT_EQ(out.reported_size, out.file.size());
        if (count == 0)
            continue;
        const auto gif = giflib_decode(out.file);
        ASSERT_TRUE(gif && gif->frames.size() == count);
        EXPECT_EQ(std::make_tuple(gif->width, gif->height, gif->background),
                  std::make_tuple(w, h, 0));
        EXPECT_TRUE(std::equal(out.table.begin(), out.table.end(), gif->global_table.begin(),
                               gif->global_table.end()));
        double squared = 0, samples = 0;
        for (std::size_t f = 0; f < count; ++f) {
            const giflib_frame& frame = gif->frames[f];
            EXPECT_EQ(std::make_tuple(frame.left, frame.top, frame.width, frame.height, frame.delay,
                                      frame.disposal, frame.transparent_index),
                      std::make_tuple(0, 0, w, h, int(s.delay), 2, 255));
            const std::vector<pixel> source = pixels_of(*s.set.frames[f]);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    const pixel p = source[std::size_t(y + s.origin.y) * s.width + x + s.origin.x];
                    const int index = frame.indices[std::size_t(y) * w + x];
                    ASSERT_EQ((p & transparent_flag) != 0, index == 255) << x << "," << y;
                    for (int c = 0; c < 3 && index != 255; ++c, ++samples)
                        squared += std::pow(table_colour(out.table, index)[c] - channels(p)[c], 2);
                }
        }
        EXPECT_GE(squared == 0 ? INFINITY : 10 * std::log10(255.0 * 255.0 * samples / squared),
                  s.least_psnr);
    }
}

TEST(GifWriter, EveryFrameMayHaveADelayOfItsOwnInEveryMode) {
    const frame_set photos = animation(4, 40, 30), flat = exact_colours();
    const std::uint16_t delays[] = {200, 5, 0, 1500};
    gif_encode_options fine, optimized, exact;
    fine.colours = colour_mode::fine;
    optimized.optimize = true;
    exact.colours = colour_mode::exact;
    for (const gif_encode_options& options : {gif_encode_options{}, optimized, fine, exact}) {
        SCOPED_TRACE(int(options.colours));
        const frame_set& set = options.colours == colour_mode::exact ? flat : photos;
        const crop_size size{std::uint16_t(set.frames[0]->width()),
                             std::uint16_t(set.frames[0]->height())};
        gif_writer writer, estimator;
        writer.set_options(options);
        estimator.set_options(options);
        ASSERT_TRUE(writer.open_in_memory({}, size, 0));
        ASSERT_TRUE(estimator.open_for_estimate("", {}, size, 0));
        writer.write_frames(set.frames, {}, size, delays);
        estimator.estimate_frames(set.frames, {}, size, delays);
        ASSERT_TRUE(writer.close());
        ASSERT_TRUE(estimator.close());
        EXPECT_EQ(estimator.size(), writer.memory_file().size());
        const auto gif = giflib_decode(writer.memory_file());
        ASSERT_TRUE(gif && gif->frames.size() == 4);
        for (std::size_t f = 0; f < 4; ++f)
            EXPECT_EQ(gif->frames[f].delay, delays[f]) << "frame " << f;
    }
}

TEST(GifWriter, AnUnwritableFileFailsSayingWhyAndLeavesTheWriterUsable) {
    const auto path = scratch_folder("gif") / "no-such-directory" / "x.gif";
    gif_writer writer;
    EXPECT_EQ(writer.open(path.string(), {}, {10, 10}, 0).message(),
              "\"" + path.string() + "\" cannot be created: no such file or directory");
    EXPECT_FALSE(writer.is_open());
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_TRUE(writer.open_for_estimate("temmmp.gif", {}, {10, 10}, 1));
    EXPECT_TRUE(writer.close());
    EXPECT_EQ(writer.size(), 13u + 1);
    // A full disk must not pass for a saved file.
    if (!std::filesystem::exists("/dev/full"))
        return;
    const frame_set set = animation(2, 20, 10);
    ASSERT_TRUE(writer.open("/dev/full", {}, {20, 10}, 0));
    writer.write_frames(set.frames, {}, {20, 10}, 10);
    EXPECT_EQ(writer.close().message(), "\"/dev/full\" cannot be written: no space left on device");
}

// Exact colours: pictures in a few flat colours come back as they were drawn,
// from one table of as few entries as their colours and transparency need;
// more colours than a table holds fail the file, and its estimate alike.
TEST(GifWriter, ExactColoursComeBackAsDrawnOrTheFileFails) {
    auto write = [](const frame_set& set, crop_size size) {
        gif_writer writer, estimator;
        writer.set_options({colour_mode::exact});
        estimator.set_options({colour_mode::exact});
        EXPECT_TRUE(writer.open_in_memory({}, size, 0));
        writer.write_frames(set.frames, {}, size, 0);
        const std::string failure = writer.close().message();
        EXPECT_TRUE(estimator.open_for_estimate("temmmp.gif", {}, size, 0));
        estimator.estimate_frames(set.frames, {}, size, 0);
        EXPECT_EQ(estimator.close().message(), failure);
        EXPECT_EQ(estimator.size(), writer.memory_file().size());
        return std::pair(failure, writer.memory_file());
    };
    frame_set few; // 117 colours and transparency, the first pixel transparent
    for (int f = 0; f < 2; ++f)
        few.add(9, 7, [&](int x, int y) {
            return x + y < 2 + f ? background : rgb_pixel(x * 30, y * 40, f);
        });
    const auto gif = giflib_decode(write(few, {9, 7}).second);
    ASSERT_TRUE(gif && gif->frames.size() == 2);
    EXPECT_EQ(gif->global_table.size(), 128u * 3);
    EXPECT_EQ(gif->frames[0].transparent_index, 0);
    for (std::size_t f = 0; f < 2; ++f) {
        const std::vector<pixel> source = pixels_of(*few.frames[f]);
        for (std::size_t p = 0; p < source.size(); ++p) {
            const int index = gif->frames[f].indices[p],
                      transparent = gif->frames[f].transparent_index;
            const bytes::const_iterator colour = gif->global_table.begin() + index * 3;
            EXPECT_EQ(index == transparent ? background
                                           : rgb_pixel(colour[0], colour[1], colour[2]),
                      source[p]);
        }
    }
    frame_set all_opaque, too_many;
    all_opaque.add(16, 16, [](int x, int y) { return rgb_pixel(x * 16, y * 16, 1); });
    too_many.add(17, 16, [](int x, int y) { return rgb_pixel(x * 15, y * 16, 1); });
    const auto full = giflib_decode(write(all_opaque, {16, 16}).second);
    ASSERT_TRUE(full && full->frames.size() == 1);
    EXPECT_EQ(full->frames[0].transparent_index, -1); // 256 colours leave no room for it
    EXPECT_EQ(write(too_many, {17, 16}).first,
              "the pictures have more colours than a colour table holds (256, transparency "
              "counting as one)");
}

std::string run(const std::string& command) {
    return testing::run(command).out;
}

// The number after the first occurrence of label in a program's output.
std::optional<int> number_after(const std::string& text, const std::string& label) {
    const auto at = text.find(label);
    return at == std::string::npos ? std::nullopt
                                   : std::optional<int>(std::atoi(&text[at + label.size()]));
}

// RGBA frames, one after another, against what the indices say.
int mismatching_pixels(const saved& out, const std::string& rgba) {
    const auto gif = giflib_decode(out.file);
    if (!gif)
        return -1;
    std::size_t at = 0;
    int wrong = 0;
    for (const giflib_frame& frame : gif->frames)
        for (const std::uint8_t index : frame.indices) {
            if (at + 4 > rgba.size())
                return wrong + 1;
            const auto* p = reinterpret_cast<const std::uint8_t*>(&rgba[at]);
            at += 4;
            wrong += index == 255 ? p[3] != 0
                                  : p[3] != 255 || table_colour(out.table, index) !=
                                                       std::array<int, 3>{p[0], p[1], p[2]};
        }
    return wrong + (at != rgba.size());
}

// Two independent programs must see every index as its global table colour,
// index 255 transparent, with the loop count written (the delays they read
// are checked on every bundled effect's render, the disposal through giflib).
TEST(GifWriter, ImageMagickAndFfmpegSeeTheWrittenFrames) {
    ASSERT_EQ(run("for t in convert identify ffmpeg; do command -v $t; done | wc -l"), "3\n")
        << "needs ImageMagick and ffmpeg (apt-get install imagemagick ffmpeg)";
    const frame_set set = animation(4, 64, 40);
    for (const std::uint16_t loop : {0, 1, 5}) {
        const saved out = save(set, 64, 40, loop, 50);
        const std::string file = " '" + out.path + "'";
        EXPECT_EQ(mismatching_pixels(out, run("convert" + file + " rgba:-")), 0);
        EXPECT_EQ(
            mismatching_pixels(out, run("ffmpeg -v error -i" + file +
                                        " -fps_mode passthrough -f rawvideo -pix_fmt rgba -")),
            0);
        // ImageMagick shows a stored repeat count n > 0 as n + 1 iterations.
        EXPECT_EQ(number_after(run("identify -verbose" + file), "Iterations: "),
                  loop == 1 ? std::nullopt : std::optional<int>(loop));
        EXPECT_EQ(number_after(testing::run("ffmpeg -v debug -i" + file + " -f null -").err,
                               "Loop count is "),
                  loop == 1 ? std::nullopt : std::optional<int>(std::max(loop - 1, 0)));
    }
}

struct rgb_image {
    int width = 0, height = 0;
    bytes rgb;

    rgb_image(int w, int h, int r = 0, int g = 0, int b = 0) : width(w), height(h) {
        for (int i = 0; i < w * h; ++i)
            rgb.insert(rgb.end(), {std::uint8_t(r), std::uint8_t(g), std::uint8_t(b)});
    }
    void set(int x, int y, int r, int g, int b) {
        const std::size_t at = (std::size_t(y) * width + x) * 3;
        std::tie(rgb[at], rgb[at + 1], rgb[at + 2]) = std::tuple(r, g, b);
    }
};

struct reduction {
    std::array<bytes, 3> palette; // red, green and blue of each colour
    bytes indices;
};

reduction reduce(const rgb_image& image) {
    colour_quantizer quantizer;
    reduction out{{}, bytes(image.rgb.size() / 3)};
    std::uint8_t map[3][256] = {};
    EXPECT_TRUE(quantizer.reduce(image.rgb.data(), image.width, image.height, out.indices.data(),
                                 map[0], map[1], map[2], 255));
    for (int c = 0; c < 3; ++c)
        out.palette[c].assign(map[c], map[c] + quantizer.colour_count());
    return out;
}

// Gradients, ripples, a shaded disc and grain: many occupied cells, smooth
// areas and sharp edges.
rgb_image photo_like(int width, int height) {
    rgb_image image(width, height);
    std::mt19937 grain(1);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            double r = 255.0 * x / width, b = 255.0 * y / height;
            double g = 128 + 100 * std::sin(x * 0.05) * std::cos(y * 0.07);
            const double d = std::hypot(x - width * 0.6, y - height * 0.4) / (height * 0.25);
            if (d < 1) {
                r = 240 * (1 - d);
                g = 200 * (1 - d) + 20;
                b = 60 * (1 - d);
            }
            const int n = int(grain() % 17) - 8;
            image.set(x, y, std::clamp(int(r) + n, 0, 255), std::clamp(int(g) + n, 0, 255),
                      std::clamp(int(b) - n, 0, 255));
        }
    return image;
}

// Flat 8 x 8 tiles of a few colours: every JPEG block decodes to one value.
rgb_image flat_tiles(int width, int height, int colours) {
    rgb_image image(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int k = ((x / 8) * 7 + (y / 8) * 3) % colours;
            image.set(x, y, (k * 53) % 256, (k * 101) % 256, (k * 29 + 40) % 256);
        }
    return image;
}

// One flat colour in 65,600 pixels (whole JPEG blocks), noise around it: the
// crowded cell shares its box with sparse neighbours, so its count weighs on
// the box colour, and a count that wrapped would leave it with 64.
rgb_image crowded_cell() {
    rgb_image image(512, 160, 120, 130, 140);
    std::mt19937 source(1);
    for (int y = 128; y < 160; ++y)
        for (int x = y < 136 ? 8 : 0; x < 512; ++x)
            image.set(x, y, 80 + int(source() % 81), 90 + int(source() % 81),
                      100 + int(source() % 81));
    return image;
}

// Both sides get identical RGB: the image is compressed once to an in-memory
// JPEG without chroma subsampling and decoded twice, plainly (our input) and
// through the library's quantizer. Without subsampling the upsampling is a
// plain copy, so both decodes run the same transform and colour conversion.
std::pair<rgb_image, reduction> jpeg_reference(const rgb_image& image) {
    jpeg_error_mgr errors;
    jpeg_compress_struct c;
    c.err = jpeg_std_error(&errors);
    jpeg_create_compress(&c);
    unsigned char* jpeg = nullptr;
    unsigned long length = 0;
    jpeg_mem_dest(&c, &jpeg, &length);
    c.image_width = JDIMENSION(image.width);
    c.image_height = JDIMENSION(image.height);
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 95, TRUE);
    for (int i = 0; i < c.num_components; ++i)
        c.comp_info[i].h_samp_factor = c.comp_info[i].v_samp_factor = 1;
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        auto row = const_cast<JSAMPROW>(&image.rgb[std::size_t(c.next_scanline) * image.width * 3]);
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);

    std::pair<rgb_image, reduction> out{image, {{}, bytes(image.rgb.size() / 3)}};
    for (bool quantize : {false, true}) {
        jpeg_decompress_struct d;
        d.err = jpeg_std_error(&errors);
        jpeg_create_decompress(&d);
        jpeg_mem_src(&d, jpeg, length);
        jpeg_read_header(&d, TRUE);
        d.out_color_space = JCS_RGB;
        d.do_fancy_upsampling = FALSE;
        d.quantize_colors = d.two_pass_quantize = quantize ? TRUE : FALSE;
        d.dither_mode = JDITHER_FS;
        d.desired_number_of_colors = 255;
        jpeg_start_decompress(&d);
        std::uint8_t* target = quantize ? out.second.indices.data() : out.first.rgb.data();
        while (d.output_scanline < d.output_height) {
            JSAMPROW row = target + std::size_t(d.output_scanline) * d.output_width *
                                        std::size_t(d.output_components);
            jpeg_read_scanlines(&d, &row, 1);
        }
        for (int ch = 0; quantize && ch < 3; ++ch)
            out.second.palette[ch].assign(d.colormap[ch],
                                          d.colormap[ch] + d.actual_number_of_colors);
        jpeg_finish_decompress(&d);
        jpeg_destroy_decompress(&d);
    }
    std::free(jpeg);
    return out;
}

TEST(Quantizer, PalettesAndIndicesMatchTheJpegLibrary) {
    rgb_image noisy(160, 120); // errors far beyond the damping limit on most pixels
    std::mt19937 source(1);
    for (auto& sample : noisy.rgb)
        sample = std::uint8_t(int(source() % 256));
    rgb_image small_noise(90, 60); // counted pixel by pixel, below a quarter of the cells
    for (auto& sample : small_noise.rgb)
        sample = std::uint8_t(int(source() % 256));
    const std::pair<const char*, rgb_image> cases[] = {
        {"small noise", small_noise},
        {"photo", photo_like(320, 240)},
        {"photo of an odd size", photo_like(317, 203)},
        {"noise", noisy},
        {"single colour", rgb_image(64, 48, 100, 100, 100)},
        {"fewer occupied cells than colours", flat_tiles(96, 80, 23)},
        {"over 65,535 pixels in one cell", crowded_cell()}};
    for (const auto& [name, image] : cases) {
        const auto [decoded, expected] = jpeg_reference(image);
        const reduction ours = reduce(decoded);
        EXPECT_EQ(ours.palette, expected.palette) << name;
        EXPECT_TRUE(ours.indices == expected.indices) << name;
    }
}

// A quantizer keeps its inverse map's storage between reductions; what an
// earlier palette left in it must never be taken for the current one.
TEST(Quantizer, AReusedQuantizerAnswersLikeAFreshOne) {
    const rgb_image images[] = {photo_like(48, 36), flat_tiles(40, 24, 9), photo_like(37, 29)};
    reduction fresh[3];
    for (int i = 0; i < 3; ++i)
        fresh[i] = reduce(images[i]);
    colour_quantizer quantizer;
    std::uint8_t map[3][256] = {};
    int differing = 0;
    for (int run = 0; run < 600; ++run) {
        const rgb_image& image = images[run % 3];
        bytes indices(image.rgb.size() / 3);
        ASSERT_TRUE(quantizer.reduce(image.rgb.data(), image.width, image.height, indices.data(),
                                     map[0], map[1], map[2], 255));
        const reduction& expected = fresh[run % 3];
        for (int c = 0; c < 3; ++c)
            differing += !std::equal(expected.palette[c].begin(), expected.palette[c].end(), map[c],
                                     map[c] + quantizer.colour_count());
        differing += indices != expected.indices;
    }
    EXPECT_EQ(differing, 0);
}

TEST(Quantizer, RefusesUnusableRequests) {
    colour_quantizer quantizer;
    std::uint8_t rgb[3] = {1, 2, 3}, index = 7, r[256], g[256], b[256];
    EXPECT_FALSE(quantizer.reduce(rgb, 1, 1, &index, r, g, b, 0));
    EXPECT_EQ(quantizer.reduce(rgb, 1, 1, &index, r, g, b, 257).message(),
              "a reduction to 257 colours was asked for; 1 to 256 can be had");
    EXPECT_TRUE(quantizer.reduce(rgb, 0, 5, &index, r, g, b, 255));
    EXPECT_EQ(quantizer.colour_count(), 0);
    EXPECT_EQ(index, 7);
    // The process-wide reduction answers like a private one.
    EXPECT_TRUE(reduce_colours(rgb, 1, 1, &index, r, g, b, 255));
    EXPECT_EQ(std::make_tuple(index, r[0], g[0], b[0]), std::make_tuple(0, 4, 2, 4));
}

} // namespace
} // namespace zoetra::test
