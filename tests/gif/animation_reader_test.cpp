// The animation reader on hand-made files: disposal, delays, sampling and
// damage; and its composed frames against ImageMagick's and PIL's where
// those read the file as GIF89a means it.
#include "gif_support.hpp"

#include "gif/animation_reader.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

namespace zoetra::test {
namespace {

namespace fs = std::filesystem;
using shown = std::vector<pixel>; // 0xRRGGBB, or `clear` where transparent
constexpr pixel clear = transparent_flag;
constexpr pixel black = 0, red = 0xFF0000, green = 0x00FF00, blue = 0x0000FF;
const table four_colours = {black, red, green, blue};

std::vector<shown> shown_frames(const animation& read) {
    std::vector<shown> out;
    for (const animation_frame& frame : read.frames) {
        out.push_back(pixels_of(*frame.picture));
        for (pixel& p : out.back())
            p = (p & transparent_flag) ? clear : p;
    }
    return out;
}

std::vector<std::uint16_t> delays(const animation& read) {
    std::vector<std::uint16_t> out;
    for (const animation_frame& frame : read.frames)
        out.push_back(frame.delay);
    return out;
}

result<animation> decode(const bytes& file, std::size_t max_frames = 32) {
    return decode_animation(copy_bytes(file.data(), file.size()), max_frames);
}

TEST(AnimationReader, DisposalMethodsFollowGif89aAndDelaysAreKeptAsStored) {
    // Red over the screen; blue at the left, with the disposal under test and
    // a delay of 7; then green at the right.
    for (int disposal = 0; disposal < 8; ++disposal) {
        const bytes file = gif_builder(2, 1, four_colours, 2)
                               .image({0, 0, 2, 1, {1, 1}})
                               .control(disposal << 2, 0, 7)
                               .image({0, 0, 1, 1, {3}})
                               .image({1, 0, 1, 1, {2}})
                               .finish();
        const pixel left = disposal == 2 ? clear : disposal == 3 || disposal == 4 ? red : blue;
        const result<animation> read = decode(file);
        ASSERT_TRUE(read) << read.message();
        EXPECT_EQ(shown_frames(*read), (std::vector<shown>{{red, red}, {blue, red}, {left, green}}))
            << "disposal " << disposal;
        EXPECT_EQ(delays(*read), (std::vector<std::uint16_t>{0, 7, 0}));
        EXPECT_EQ(read->warning, "");
    }
}

// n frames on a 1 x 1 screen, frame i showing colour i (blue i) for i + 1
// hundredths; the frame numbered broken (from 0) has the raster given.
bytes numbered(int n, int broken = -1, const bytes& raster = {}, int long_delay_at = -1) {
    table colours(256);
    for (std::uint32_t i = 0; i < colours.size(); ++i)
        colours[i] = i;
    gif_builder builder(1, 1, colours);
    for (int i = 0; i < n; ++i) {
        builder.control(0, 0, i == long_delay_at ? 65500 : i + 1);
        const picture pic{0, 0, 1, 1, {std::uint8_t(i)}, 8};
        i == broken ? builder.image_with_raster(pic, raster) : builder.image(pic);
    }
    return builder.finish();
}

// What numbered frames show: each input's colour on the one pixel.
std::vector<shown> colours_of(const std::vector<pixel>& inputs) {
    std::vector<shown> out;
    for (pixel input : inputs)
        out.push_back(shown{input});
    return out;
}

TEST(AnimationReader, SamplesLongAnimationsEvenlyAndKeepsTheirLength) {
    const bytes file = numbered(100, -1, {}, 51);
    const result<animation> read = decode(file);
    ASSERT_TRUE(read) << read.message();
    ASSERT_EQ(read->frames.size(), 32u);
    EXPECT_EQ(read->frames_in_file, 100u);
    EXPECT_EQ(read->warning,
              "100 frames in the file: 32 taken evenly, their delays keep the animation's length");
    // Output frame k is input frame floor(k * 100 / 32) and lasts until the next one.
    const std::vector<shown> frames = shown_frames(*read);
    EXPECT_EQ(std::vector<shown>(frames.begin(), frames.begin() + 9),
              colours_of({0, 3, 6, 9, 12, 15, 18, 21, 25}));
    EXPECT_EQ(frames[16], shown{50});
    EXPECT_EQ(frames[31], shown{96});
    EXPECT_EQ(read->frames[0].delay, 1 + 2 + 3);
    EXPECT_EQ(read->frames[8].delay, 26 + 27 + 28);
    EXPECT_EQ(read->frames[16].delay, 65535) << "51 + 65500 + 53, clamped";
    EXPECT_EQ(read->frames[31].delay, 97 + 98 + 99 + 100);

    for (std::size_t max_frames : {100, 500}) {
        const result<animation> all = decode(file, max_frames);
        ASSERT_TRUE(all);
        EXPECT_EQ(all->frames.size(), 100u);
        EXPECT_EQ(all->frames[51].delay, 65500);
        EXPECT_EQ(all->warning, "");
    }
    const result<animation> one = decode(numbered(3), 0); // at least one frame is taken
    ASSERT_TRUE(one);
    EXPECT_EQ(delays(*one), std::vector<std::uint16_t>{6});

    const fs::path dir = scratch_folder("animation-reader");
    write_file(dir / "hundred.gif", file);
    write_file(dir / "not a gif.gif", bytes{'G', 'I', 'X'});
    EXPECT_EQ(count_gif_frames((dir / "hundred.gif").string()), 100u);
    EXPECT_EQ(count_gif_frames((dir / "not a gif.gif").string()), 0u);
    EXPECT_EQ(count_gif_frames((dir / "missing.gif").string()), 0u);
    const result<animation> from_disk = read_animation((dir / "hundred.gif").string());
    ASSERT_TRUE(from_disk);
    EXPECT_EQ(shown_frames(*from_disk), frames);
    EXPECT_EQ(read_animation((dir / "missing.gif").string()).message(),
              "cannot open " + (dir / "missing.gif").string());
}

TEST(AnimationReader, KeepsTheFramesBeforeADamagedOneAndSaysWhichItWas) {
    const bytes bad_code_size = {12, 1, 0, 0};
    const bytes no_pixels = raster_data(8, code_writer(8).put_all({256, 257}).data());
    bytes cut = numbered(5);
    cut.resize(numbered(2).size() - 1 + 8 + 10 + 2); // inside frame 3's data
    const std::string left_out = ", so it and the frames after it were left out";
    const struct damage_case {
        const char* name;
        bytes file;
        std::size_t max_frames, frames_read;
        std::vector<pixel> inputs;
        std::vector<std::uint16_t> delays;
        std::string warning;
    } cases[] = {
        {"a bad code size",
         numbered(5, 2, bad_code_size),
         32,
         2,
         {0, 1},
         {1, 2},
         "frame 3 cannot be read (an image's minimum code size is outside 2 to 9)" + left_out},
        {"data that stops before the last pixel",
         numbered(5, 3, no_pixels),
         32,
         3,
         {0, 1, 2},
         {1, 2, 3},
         "frame 4 cannot be read (its image data stops before its last pixel)" + left_out},
        {"a file cut inside a frame's data",
         cut,
         32,
         2,
         {0, 1},
         {1, 2},
         "frame 3 cannot be read (the file ends inside an image's data)" + left_out},
        {"sampled, then damaged: frames 0, 2, 5 and 7 would have been kept",
         numbered(10, 5, no_pixels),
         4,
         5,
         {0, 2},
         {1 + 2, 3 + 4 + 5},
         "frame 6 cannot be read (its image data stops before its last pixel)" + left_out +
             "; of the 5 frames before it, 2 taken evenly, their delays keep the animation's "
             "length"},
    };
    for (const damage_case& c : cases) {
        const result<animation> read = decode(c.file, c.max_frames);
        ASSERT_TRUE(read) << c.name << ": " << read.message();
        EXPECT_EQ(shown_frames(*read), colours_of(c.inputs)) << c.name;
        EXPECT_EQ(delays(*read), c.delays) << c.name;
        EXPECT_EQ(read->frames_in_file, c.frames_read) << c.name;
        EXPECT_EQ(read->warning, c.warning) << c.name;
    }

    const picture dot{0, 0, 1, 1, {1}};
    const std::pair<bytes, std::string> failures[] = {
        {numbered(3, 0, bad_code_size),
         "the first frame cannot be read: an image's minimum code size is outside 2 to 9"},
        {numbered(3, 0, no_pixels),
         "the first frame cannot be read: its image data stops before its last pixel"},
        {numbered(0), "the file holds no image"},
        {{'G', 'I', 'F', '8', '9', 'a', 1, 0}, "the file ends inside its header"},
        // Three canvases of 256 MB kept and two to compose on: refused before any is made.
        {gif_builder(8000, 8000).image(dot).image(dot).image(dot).finish(),
         "3 frames of 8000 x 8000 pixels would take more than 1 GiB of memory"},
    };
    for (const auto& [file, message] : failures)
        EXPECT_EQ(decode(file).message(), message);
}

TEST(AnimationReader, FilesCutAnywhereGiveTheFramesTheyHoldWhole) {
    const bytes file = numbered(3);
    const std::vector<shown> whole = colours_of({0, 1, 2});
    for (std::size_t length = 0; length < file.size(); ++length) {
        std::size_t complete = 0; // frames whose data ends within the cut
        while (complete < 3 && numbered(int(complete) + 1).size() - 1 <= length)
            ++complete;
        const result<animation> read =
            decode(bytes(file.begin(), file.begin() + std::ptrdiff_t(length)));
        ASSERT_EQ(read.ok(), complete > 0) << "cut at " << length;
        if (read) {
            EXPECT_EQ(shown_frames(*read),
                      std::vector<shown>(whole.begin(), whole.begin() + std::ptrdiff_t(complete)))
                << "cut at " << length;
        }
    }
}

// One frame of a reference file: its disposal, transparent index (-1: none)
// and image, on a 6 x 6 screen of four colours whose background is green.
struct reference_frame {
    int disposal, transparent;
    picture pic;
};
bytes assemble(const std::vector<reference_frame>& frames, int write_4_as = 4) {
    gif_builder builder(6, 6, four_colours, 2);
    for (const reference_frame& f : frames) {
        const int disposal = f.disposal == 4 ? write_4_as : f.disposal;
        builder.control(disposal << 2 | (f.transparent >= 0), std::max(f.transparent, 0));
        builder.image(f.pic);
    }
    return builder.finish();
}

bytes pattern(int count, int step) {
    bytes out(std::size_t(count), 0);
    for (int i = 0; i < count; ++i)
        out[std::size_t(i)] = std::uint8_t((i * step + i / 3) % 4);
    return out;
}

// PIL (9.4) and ImageMagick (6.9) compose alike where frames keep the canvas,
// have transparent indices and local tables, are interlaced or reach past the
// screen's edges. They part on:
// - disposal 2 of a frame without a transparent index: PIL paints the
//   rectangle with the background colour, opaque; ImageMagick clears it to
//   transparent, as browsers do, and as the canvas was before any frame.
// - disposal 3: ImageMagick restores the canvas as it was before the frame;
//   PIL leaves the first frame's rectangle in place and, after a later one,
//   goes on restoring after frames that keep the canvas.
// - 4 to 7: ImageMagick takes them as 0, PIL as its 3. Old files wrote 4
//   for 3: its frames are compared with ImageMagick's reading of the file
//   with 3 written in its place.
// - what the first frame does not cover, when that frame has no transparent
//   index: PIL shows black and ImageMagick the background colour, both
//   opaque, where browsers and this reader show transparent. Every first
//   frame here has a transparent index, which makes both start transparent.
// So every file is compared with ImageMagick, and those files where PIL
// agrees with it are compared with PIL too.
struct reference_file {
    const char* name;
    std::vector<reference_frame> frames;
    bool pil_agrees;
};
std::vector<reference_file> reference_files() {
    const picture interlaced{
        3, 0, 4, 6, pattern(24, 7), 2, {0x808080, 0xFFFF00, 0x00FFFF, 0xFF00FF}, true};
    return {
        {"keeping, transparency, a local table, interlacing, frames past the edges",
         {{0, 0, {1, 1, 3, 3, pattern(9, 5)}},
          {1, -1, interlaced},
          {0, 3, {0, 3, 2, 3, pattern(6, 3)}},
          {0, 1, {4, 4, 3, 3, pattern(9, 2)}}},
         true},
        {"disposal 2 of frames with a transparent index",
         {{0, 0, {0, 0, 6, 6, pattern(36, 5)}},
          {2, 0, {1, 1, 3, 3, pattern(9, 7)}},
          {2, 1, {4, 3, 3, 4, pattern(12, 1)}},
          {0, 0, {0, 0, 2, 2, pattern(4, 3)}}},
         true},
        {"disposal 2 of frames without one",
         {{0, 0, {0, 0, 6, 6, pattern(36, 5)}},
          {2, -1, {1, 1, 3, 3, pattern(9, 7)}},
          {2, -1, {3, 3, 4, 4, pattern(16, 1)}},
          {0, 0, {0, 0, 2, 2, pattern(4, 3)}}},
         false},
        {"disposal 3",
         {{0, 0, {0, 0, 6, 6, pattern(36, 5)}},
          {3, -1, {1, 1, 3, 3, pattern(9, 7)}},
          {3, 0, {2, 2, 4, 4, pattern(16, 2)}},
          {0, -1, {0, 4, 2, 2, pattern(4, 1)}},
          {3, -1, {3, 0, 3, 3, pattern(9, 3)}},
          {0, 0, {1, 1, 2, 2, pattern(4, 5)}}},
         false},
        {"disposal 4, on the first frame too, and 5 to 7",
         {{4, 0, {1, 1, 3, 3, pattern(9, 5)}},
          {5, -1, {0, 0, 2, 2, pattern(4, 1)}},
          {4, -1, {2, 2, 4, 4, pattern(16, 7)}},
          {6, 0, {3, 0, 3, 3, pattern(9, 2)}},
          {7, -1, {0, 3, 2, 3, pattern(6, 3)}},
          {4, 0, {1, 1, 4, 4, pattern(16, 5)}},
          {0, -1, {0, 0, 1, 1, {1}}}},
         false},
    };
}

constexpr std::size_t screen_bytes = 6 * 6 * 4;

// Has an outside reader write every frame of the file as RGBA bytes (the
// command for the file's and the output's paths), and compares its frames
// with ours.
void compare_with(const std::string& reader, const reference_file& file, const bytes& in,
                  const std::function<std::string(fs::path, fs::path)>& command_for) {
    const fs::path dir = scratch_folder("animation-reference");
    const fs::path gif = dir / (reader + ".gif"), out = dir / (reader + ".rgba");
    write_file(gif, in);
    fs::remove(out);
    const std::string command = command_for(gif, out);
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const bytes rgba = read_file<bytes>(out);
    std::vector<shown> theirs(rgba.size() / screen_bytes);
    for (std::size_t at = 0; at + 3 < rgba.size(); at += 4) {
        const pixel colour = pixel(rgba[at]) << 16 | pixel(rgba[at + 1]) << 8 | rgba[at + 2];
        const int alpha = rgba[at + 3]; // partial alpha kept, so that it differs
        theirs[at / screen_bytes].push_back(alpha == 0 ? clear : colour | pixel(255 - alpha) << 24);
    }
    const result<animation> ours = decode(assemble(file.frames));
    ASSERT_TRUE(ours) << ours.message();
    EXPECT_EQ(shown_frames(*ours), theirs) << file.name << ", against " << reader;
}

std::string in_quotes(const fs::path& path) {
    return "\"" + path.string() + "\"";
}

TEST(AnimationReference, ComposesAsImageMagickDoes) {
    if (std::system("convert -version > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "ImageMagick's convert is not installed";
    for (const reference_file& file : reference_files())
        compare_with("imagemagick", file, assemble(file.frames, 3), [](fs::path in, fs::path out) {
            return "convert " + in_quotes(in) + " -coalesce " + in_quotes("rgba:" + out.string());
        });
}

TEST(AnimationReference, ComposesAsPilDoesWhereItFollowsGif89a) {
    const std::string python = ZOETRA_PYTHON;
    if (python.empty() || python.find("NOTFOUND") != std::string::npos)
        GTEST_SKIP() << "no python3 with PIL (apt-get install python3-pil)";
    const fs::path script = fs::path(ZOETRA_SOURCE_DIR) / "tests/gif/pil_frames.py";
    for (const reference_file& file : reference_files())
        if (file.pil_agrees)
            compare_with("pil", file, assemble(file.frames), [&](fs::path in, fs::path out) {
                return in_quotes(python) + " " + in_quotes(script) + " " + in_quotes(in) + " " +
                       in_quotes(out);
            });
}

} // namespace
} // namespace zoetra::test
