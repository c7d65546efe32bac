// The animation reader on hand-made files: disposal, delays, sampling and
// damage; and its frames against ImageMagick's and PIL's where those read the
// file as GIF89a means it.
#include "gif_support.hpp"

#include "gif/animation_reader.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

namespace zoetra::test {
namespace {

namespace fs = std::filesystem;
using shown = std::vector<pixel>; // 0xRRGGBB, or `clear` where transparent
using delay_list = std::vector<std::uint16_t>;
constexpr pixel clear = transparent_flag, red = 0xFF0000, green = 0x00FF00, blue = 0x0000FF;
const table four_colours = {0x000000, red, green, blue};

animation decode(const bytes& file, std::size_t max_frames = 32) {
    result<animation> read = decode_animation(copy_bytes(file.data(), file.size()), max_frames);
    if (!read) {
        ADD_FAILURE() << read.message();
        return {};
    }
    return std::move(*read);
}

std::vector<shown> pictures(const animation& read) {
    std::vector<shown> out;
    for (const animation_frame& frame : read.frames) {
        out.push_back(pixels_of(*frame.picture));
        for (pixel& p : out.back())
            p = (p & transparent_flag) ? clear : p;
    }
    return out;
}

delay_list delays(const animation& read) {
    delay_list out;
    for (const animation_frame& frame : read.frames)
        out.push_back(frame.delay);
    return out;
}

TEST(AnimationReader, DisposalMethodsFollowGif89aAndDelaysAreKeptAsStored) {
    // Red over the screen; blue at the left, with the disposal under test and
    // a delay of 7; then green at the right.
    for (int disposal = 0; disposal < 8; ++disposal) {
        const animation read = decode(gif_builder(2, 1, four_colours, 2)
                                          .image({0, 0, 2, 1, {1, 1}})
                                          .control(disposal << 2, 0, 7)
                                          .image({0, 0, 1, 1, {3}})
                                          .image({1, 0, 1, 1, {2}})
                                          .finish());
        const pixel left = disposal == 2 ? clear : disposal == 3 || disposal == 4 ? red : blue;
        EXPECT_EQ(pictures(read), (std::vector<shown>{{red, red}, {blue, red}, {left, green}}))
            << "disposal " << disposal;
        EXPECT_EQ(delays(read), (delay_list{0, 7, 0}));
        EXPECT_EQ(read.warning, "");
    }
}

// n frames on a 1 x 1 screen, frame i (from 0) showing colour i for i + 1
// hundredths, or 65500 at long_delay_at; frame broken has the raster given.
bytes numbered(int n, int long_delay_at = -1, int broken = -1, const bytes& raster = {}) {
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

// What each frame shows at its first pixel: for numbered files, which input
// frame it is.
std::vector<pixel> first_pixels(const animation& read) {
    std::vector<pixel> out;
    for (const shown& picture : pictures(read))
        out.push_back(picture[0]);
    return out;
}

TEST(AnimationReader, SamplesLongAnimationsEvenlyAndKeepsTheirLength) {
    const bytes file = numbered(100, 51);
    const animation read = decode(file);
    EXPECT_EQ(read.frames_in_file, 100u);
    EXPECT_EQ(read.warning,
              "100 frames in the file: 32 taken evenly, their delays keep the animation's length");
    // Output frame k is input frame floor(k * 100 / 32) and lasts until the next one.
    const std::vector<pixel> kept = first_pixels(read);
    ASSERT_EQ(kept.size(), 32u);
    EXPECT_EQ(std::vector<pixel>(kept.begin(), kept.begin() + 9),
              (std::vector<pixel>{0, 3, 6, 9, 12, 15, 18, 21, 25}));
    EXPECT_EQ(kept[31], 96u);
    EXPECT_EQ(read.frames[0].delay, 1 + 2 + 3);
    EXPECT_EQ(read.frames[16].delay, 65535) << "51 + 65500 + 53, clamped";
    EXPECT_EQ(read.frames[31].delay, 97 + 98 + 99 + 100);

    EXPECT_EQ(decode(file, 100).warning, "");
    EXPECT_EQ(delays(decode(numbered(3), 0)), delay_list{6}) << "one frame is always taken";

    const fs::path path = scratch_folder("animation-reader") / "hundred.gif";
    write_file(path, file);
    EXPECT_EQ(count_gif_frames(path.string()), 100u);
    EXPECT_EQ(count_gif_frames(path.string() + ".missing"), 0u);
    const result<animation> from_disk = read_animation(path.string(), 10);
    ASSERT_TRUE(from_disk) << from_disk.message();
    EXPECT_EQ(first_pixels(*from_disk),
              (std::vector<pixel>{0, 10, 20, 30, 40, 50, 60, 70, 80, 90}));
}

void expect_kept(const bytes& file, std::size_t max_frames, std::size_t frames_read,
                 const std::vector<pixel>& kept, const delay_list& kept_delays,
                 const std::string& warning) {
    const animation read = decode(file, max_frames);
    EXPECT_EQ(first_pixels(read), kept) << warning;
    EXPECT_EQ(delays(read), kept_delays) << warning;
    EXPECT_EQ(read.frames_in_file, frames_read) << warning;
    EXPECT_EQ(read.warning, warning);
}

TEST(AnimationReader, KeepsTheFramesBeforeADamagedOneAndSaysWhichItWas) {
    const bytes bad_code_size = {12, 1, 0, 0};
    const bytes no_pixels = raster_data(8, code_writer(8).put_all({256, 257}).data());
    bytes cut = numbered(5);
    cut.resize(numbered(2).size() - 1 + 8 + 10 + 2); // inside frame 3's data
    const std::string left_out = ", so it and the frames after it were left out";
    expect_kept(numbered(5, -1, 2, bad_code_size), 32, 2, {0, 1}, {1, 2},
                "frame 3 cannot be read (an image's minimum code size is outside 2 to 9)" +
                    left_out);
    expect_kept(numbered(5, -1, 3, no_pixels), 32, 3, {0, 1, 2}, {1, 2, 3},
                "frame 4 cannot be read (its image data stops before its last pixel)" + left_out);
    expect_kept(cut, 32, 2, {0, 1}, {1, 2},
                "frame 3 cannot be read (the file ends inside an image's data)" + left_out);
    // Sampled to 4 frames, 0, 2, 5 and 7 would have been kept.
    expect_kept(numbered(10, -1, 5, no_pixels), 4, 5, {0, 2}, {1 + 2, 3 + 4 + 5},
                "frame 6 cannot be read (its image data stops before its last pixel)" + left_out +
                    "; of the 5 frames before it, 2 taken evenly, their delays keep the "
                    "animation's length");

    const picture dot{0, 0, 1, 1, {1}};
    const std::pair<bytes, std::string> failures[] = {
        {numbered(3, -1, 0, bad_code_size),
         "the first frame cannot be read: an image's minimum code size is outside 2 to 9"},
        {numbered(0), "the file holds no image"},
        // Three canvases of 256 MB kept and two to compose on: refused before any is made.
        {gif_builder(8000, 8000).image(dot).image(dot).image(dot).finish(),
         "3 frames of 8000 x 8000 pixels would take more than 1 GiB of memory"},
    };
    for (const auto& [file, message] : failures)
        EXPECT_EQ(decode_animation(copy_bytes(file.data(), file.size())).message(), message);
}

// One frame of a reference file, on a 6 x 6 screen of four colours whose
// background is green: its disposal, transparent index (-1: none), where it
// lies, the step of its index pattern and whether it has a local table and
// is interlaced.
struct reference_frame {
    int disposal, transparent, left, top, width, height, step;
    bool local_interlaced = false;
};
bytes assemble(const std::vector<reference_frame>& frames, int write_4_as = 4) {
    gif_builder builder(6, 6, four_colours, 2);
    for (const reference_frame& f : frames) {
        const int disposal = f.disposal == 4 ? write_4_as : f.disposal;
        builder.control(disposal << 2 | (f.transparent >= 0), std::max(f.transparent, 0));
        picture pic{f.left, f.top, f.width, f.height, bytes(std::size_t(f.width * f.height))};
        for (std::size_t i = 0; i < pic.indices.size(); ++i)
            pic.indices[i] = std::uint8_t((i * std::size_t(f.step) + i / 3) % 4);
        if (f.local_interlaced) {
            pic.local_table = {0x808080, 0xFFFF00, 0x00FFFF, 0xFF00FF};
            pic.interlaced = true;
        }
        builder.image(pic);
    }
    return builder.finish();
}

// PIL (9.4) and ImageMagick (6.9) compose alike where frames keep the canvas,
// have transparent indices and local tables, are interlaced or reach past the
// screen, and where disposal 2 clears a frame with a transparent index. They
// part on the following, where ImageMagick reads the file as GIF89a means it
// and as this reader does:
// - 0 after a 2 or a 3: PIL carries the earlier disposal on to the frame
//   that gives 0 ("not specified"); ImageMagick leaves the canvas.
// - 2 of a frame without a transparent index: PIL paints the background
//   colour, opaque; ImageMagick clears to transparent, as browsers do and as
//   the canvas was before any frame.
// - 3: PIL does not restore after the first frame.
// - 4 (old files' 3) to 7: ImageMagick takes them as 0, PIL as its 3. 4 is
//   compared with ImageMagick's reading of the file with 3 in its place.
// - where the first frame does not reach and has no transparent index: PIL
//   shows opaque black, ImageMagick the opaque background, this reader (and
//   browsers) transparent. Every first frame here has a transparent index,
//   with which both start transparent.
struct reference_file {
    const char* name;
    std::vector<reference_frame> frames;
    bool pil_agrees;
};
const reference_file reference_files[] = {
    {"keeping, transparency, a local table, interlacing, frames past the edges, disposal 2 of "
     "frames with a transparent index",
     {{0, 0, 1, 1, 3, 3, 5},
      {1, -1, 3, 0, 4, 6, 7, true},
      {2, 3, 0, 3, 2, 3, 3},
      {2, 1, 4, 4, 3, 3, 2},
      {1, 0, 0, 0, 6, 6, 5},
      {2, 0, 1, 1, 3, 3, 7},
      {0, 0, 0, 0, 2, 2, 3}},
     true},
    {"disposal 2 of frames without one",
     {{0, 0, 0, 0, 6, 6, 5}, {2, -1, 1, 1, 3, 3, 7}, {2, -1, 3, 3, 4, 4, 1}, {0, 0, 0, 0, 2, 2, 3}},
     false},
    {"disposal 3",
     {{0, 0, 0, 0, 6, 6, 5},
      {3, -1, 1, 1, 3, 3, 7},
      {3, 0, 2, 2, 4, 4, 2},
      {0, -1, 0, 4, 2, 2, 1},
      {3, -1, 3, 0, 3, 3, 3},
      {0, 0, 1, 1, 2, 2, 5}},
     false},
    {"disposal 4, on the first frame too, and 5 to 7",
     {{4, 0, 1, 1, 3, 3, 5},
      {5, -1, 0, 0, 2, 2, 1},
      {4, -1, 2, 2, 4, 4, 7},
      {6, 0, 3, 0, 3, 3, 2},
      {7, -1, 0, 3, 2, 3, 3},
      {4, 0, 1, 1, 4, 4, 5},
      {0, -1, 0, 0, 1, 1, 1}},
     false},
};

std::string in_quotes(const fs::path& path) {
    return "\"" + path.string() + "\"";
}

// Has an outside reader write every frame of the file as RGBA bytes (the
// command made for the file's and the output's paths) and compares them
// with ours.
void compare_with(const std::string& reader, const reference_file& file, const bytes& in,
                  const std::function<std::string(fs::path, fs::path)>& command_for) {
    const fs::path dir = scratch_folder("animation-reference");
    const fs::path gif = dir / (reader + ".gif"), out = dir / (reader + ".rgba");
    write_file(gif, in);
    fs::remove(out);
    ASSERT_EQ(std::system(command_for(gif, out).c_str()), 0) << command_for(gif, out);
    const bytes rgba = read_file<bytes>(out);
    constexpr std::size_t screen_bytes = 6 * 6 * 4;
    std::vector<shown> theirs(rgba.size() / screen_bytes);
    for (std::size_t at = 0; at + 3 < rgba.size(); at += 4) {
        const pixel colour = pixel(rgba[at]) << 16 | pixel(rgba[at + 1]) << 8 | rgba[at + 2];
        const int alpha = rgba[at + 3]; // partial alpha kept, so that it differs
        theirs[at / screen_bytes].push_back(alpha == 0 ? clear : colour | pixel(255 - alpha) << 24);
    }
    EXPECT_EQ(pictures(decode(assemble(file.frames))), theirs) << file.name << ", " << reader;
}

TEST(AnimationReference, ComposesAsImageMagickDoes) {
    if (std::system("convert -version > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "ImageMagick's convert is not installed";
    for (const reference_file& file : reference_files)
        compare_with("imagemagick", file, assemble(file.frames, 3), [](fs::path in, fs::path out) {
            return "convert " + in_quotes(in) + " -coalesce " + in_quotes("rgba:" + out.string());
        });
}

TEST(AnimationReference, ComposesAsPilDoesWhereItFollowsGif89a) {
    const std::string python = ZOETRA_PYTHON;
    if (python.empty() || python.find("NOTFOUND") != std::string::npos)
        GTEST_SKIP() << "no python3 with PIL (apt-get install python3-pil)";
    const fs::path script = fs::path(ZOETRA_SOURCE_DIR) / "tests/gif/pil_frames.py";
    for (const reference_file& file : reference_files)
        if (file.pil_agrees)
            compare_with("pil", file, assemble(file.frames), [&](fs::path in, fs::path out) {
                return in_quotes(python) + " " + in_quotes(script) + " " + in_quotes(in) + " " +
                       in_quotes(out);
            });
}

} // namespace
} // namespace zoetra::test
