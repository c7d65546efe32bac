// The frame reader on hand-made files: header, colour tables, transparency,
// disposal, frames that reach outside the screen, extensions, and files that
// are cut short, corrupt or too large.
#include "decoder_support.hpp"

#include "gif/decoder.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace zoetra::decoder_test {
namespace {

const table four_colours = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};

// A reader opened on the bytes, or a failed test.
struct opened {
    gif_reader reader;
    explicit opened(const bytes& file) {
        EXPECT_TRUE(reader.open_bytes(file.data(), file.size())) << reader.failure();
    }
};

std::vector<pixel> frame_pixels(gif_reader& reader) {
    std::unique_ptr<buffer> frame = reader.read_frame();
    EXPECT_TRUE(frame) << reader.failure();
    return frame ? pixels_of(*frame) : std::vector<pixel>{};
}

image_spec image(int left, int top, int width, int height, bytes indices) {
    image_spec spec;
    spec.left = left;
    spec.top = top;
    spec.width = width;
    spec.height = height;
    spec.indices = std::move(indices);
    spec.code_size = 2;
    return spec;
}

TEST(GifReader, Versions87aAnd89aReadAlike) {
    for (const char* version : {"87a", "89a", "xyz"}) {
        bytes file =
            gif_builder(2, 1, four_colours, 2, version).image(image(0, 0, 2, 1, {1, 3})).finish();
        opened gif(file);
        EXPECT_EQ(gif.reader.screen_width(), 2);
        EXPECT_EQ(gif.reader.screen_height(), 1);
        EXPECT_EQ(gif.reader.background(), (colour{0, 0x00, 0xFF, 0x00}));
        EXPECT_EQ(frame_pixels(gif.reader),
                  (std::vector<pixel>{painted(0xFF0000), painted(0x0000FF)}))
            << version;
    }
}

TEST(GifReader, TheCanvasStartsAsTheBackgroundMarkedTransparent) {
    // A 1 x 1 image at (1, 1) of a 3 x 2 screen; background index 1.
    bytes file = gif_builder(3, 2, four_colours, 1).image(image(1, 1, 1, 1, {3})).finish();
    opened gif(file);
    const pixel bg = background_pixel(0xFF0000);
    EXPECT_EQ(frame_pixels(gif.reader),
              (std::vector<pixel>{bg, bg, bg, bg, painted(0x0000FF), bg}));
    // Without a global table the background is black.
    file = gif_builder(2, 1).image(image(0, 0, 1, 1, {0})).finish();
    opened plain(file);
    EXPECT_EQ(frame_pixels(plain.reader)[1], background_pixel(0));
}

TEST(GifReader, ALocalTableReplacesOnlyItsOwnEntries) {
    table global;
    for (std::uint32_t i = 0; i < 8; ++i)
        global.push_back(0x101010 * (i + 1));
    image_spec spec = image(0, 0, 8, 1, {0, 1, 2, 3, 4, 5, 6, 7});
    spec.code_size = 3;
    spec.local_table = {0xA00000, 0xB00000, 0xC00000, 0xD00000};
    bytes file = gif_builder(8, 1, global).image(spec).finish();
    opened gif(file);
    EXPECT_EQ(frame_pixels(gif.reader),
              (std::vector<pixel>{0xA00000, 0xB00000, 0xC00000, 0xD00000, 0x505050, 0x606060,
                                  0x707070, 0x808080}));
}

TEST(GifReader, TransparentPixelsKeepTheCanvasAndDisposalTwoClearsTheFrame) {
    // Frame 1 paints the whole 4 x 1 screen red. Frame 2 (packed 0x09:
    // transparent index 0, disposal 2) covers x = 1..2 with index 0 and 3.
    // Frame 3 paints only x = 0; x = 1..2 are background again.
    bytes file = gif_builder(4, 1, four_colours, 2)
                     .image(image(0, 0, 4, 1, {1, 1, 1, 1}))
                     .control(0x09, 0)
                     .image(image(1, 0, 2, 1, {0, 3}))
                     .image(image(0, 0, 1, 1, {2}))
                     .finish();
    opened gif(file);
    const pixel red = painted(0xFF0000);
    EXPECT_EQ(frame_pixels(gif.reader), (std::vector<pixel>(4, red)));
    EXPECT_EQ(frame_pixels(gif.reader), (std::vector<pixel>{red, red, painted(0x0000FF), red}));
    const pixel bg = background_pixel(0x00FF00);
    EXPECT_EQ(frame_pixels(gif.reader), (std::vector<pixel>{painted(0x00FF00), bg, bg, red}));
    EXPECT_FALSE(gif.reader.read_frame());
    EXPECT_EQ(gif.reader.failure(), "");
}

TEST(GifReader, DisposalFourRestoresTheCanvasAndThreeDoesNot) {
    for (int disposal : {3, 4}) {
        bytes file = gif_builder(2, 1, four_colours)
                         .image(image(0, 0, 2, 1, {1, 1}))
                         .control(disposal << 2, 0)
                         .image(image(0, 0, 1, 1, {3}))
                         .image(image(1, 0, 1, 1, {2}))
                         .finish();
        opened gif(file);
        frame_pixels(gif.reader);
        EXPECT_EQ(frame_pixels(gif.reader),
                  (std::vector<pixel>{painted(0x0000FF), painted(0xFF0000)}));
        const pixel left = disposal == 4 ? painted(0xFF0000) : painted(0x0000FF);
        EXPECT_EQ(frame_pixels(gif.reader), (std::vector<pixel>{left, painted(0x00FF00)}))
            << "disposal " << disposal;
    }
}

TEST(GifReader, AGraphicControlAppliesToTheNextImageOnly) {
    bytes file = gif_builder(1, 1, four_colours)
                     .control(0x01, 1)
                     .image(image(0, 0, 1, 1, {1}))
                     .image(image(0, 0, 1, 1, {1}))
                     .finish();
    opened gif(file);
    EXPECT_EQ(frame_pixels(gif.reader), (std::vector<pixel>{background_pixel(0)}));
    EXPECT_EQ(frame_pixels(gif.reader), (std::vector<pixel>{painted(0xFF0000)}));
}

TEST(GifReader, FramesReachingOutsideTheScreenAreClipped) {
    bytes indices(16);
    for (std::size_t i = 0; i < indices.size(); ++i)
        indices[i] = std::uint8_t(1 + i % 3);
    bytes file = gif_builder(3, 3, four_colours)
                     .control(2 << 2, 0)
                     .image(image(1, 2, 4, 4, indices))
                     .image(image(3, 0, 4, 4, indices)) // wholly outside
                     .image(image(0, 0, 1, 1, {0}))
                     .finish();
    opened gif(file);
    const pixel bg = background_pixel(0);
    const pixel r = painted(0xFF0000), g = painted(0x00FF00);
    EXPECT_EQ(frame_pixels(gif.reader), (std::vector<pixel>{bg, bg, bg, bg, bg, bg, bg, r, g}));
    // Disposal 2 cleared the visible part only; the next frame draws nothing.
    EXPECT_EQ(frame_pixels(gif.reader), (std::vector<pixel>(9, bg)));
    EXPECT_EQ(frame_pixels(gif.reader)[0], painted(0));
}

TEST(GifReader, ExtensionsAndStrayBytesArePassedOver) {
    bytes application = {0x21, 0xFF, 11,  'N', 'E', 'T', 'S', 'C', 'A', 'P',
                         'E',  '2',  '.', '0', 3,   1,   0,   0,   0};
    bytes plain_text = {0x21, 0x01, 12, 0, 0, 0, 0, 8, 0, 8, 0, 8, 8, 1, 0, 2, 'h', 'i', 0};
    bytes unknown = {0x21, 0x99, 0x3B, 0x00};
    bytes file = gif_builder(1, 1, four_colours)
                     .raw(application)
                     .comment("made by hand, with a ',' inside")
                     .raw(plain_text)
                     .raw(unknown)
                     .image(image(0, 0, 1, 1, {3}))
                     .finish();
    opened gif(file);
    EXPECT_EQ(frame_pixels(gif.reader), (std::vector<pixel>{painted(0x0000FF)}));
}

TEST(GifReader, InterlacedFramesComposeLikeProgressiveOnes) {
    bytes indices;
    for (int i = 0; i < 5 * 11; ++i)
        indices.push_back(std::uint8_t((i * 7 / 3) % 4));
    image_spec progressive = image(0, 0, 5, 11, indices);
    image_spec interlaced = progressive;
    interlaced.interlaced = true;
    bytes a = gif_builder(5, 11, four_colours).image(progressive).finish();
    bytes b = gif_builder(5, 11, four_colours).image(interlaced).finish();
    opened first(a), second(b);
    EXPECT_EQ(frame_pixels(first.reader), frame_pixels(second.reader));
}

TEST(GifReader, ABadCodeSizeDropsTheFrameAndClosesTheReader) {
    for (int code_size : {1, 10}) {
        bytes file =
            gif_builder(1, 1, four_colours)
                .image(image(0, 0, 1, 1, {1}))
                .image_with_raster(image(0, 0, 1, 1, {}), {std::uint8_t(code_size), 1, 0, 0})
                .image(image(0, 0, 1, 1, {2}))
                .finish();
        opened gif(file);
        frame_pixels(gif.reader);
        EXPECT_FALSE(gif.reader.read_frame());
        EXPECT_EQ(gif.reader.failure(), "an image's minimum code size is outside 2 to 9");
        EXPECT_FALSE(gif.reader.is_open());
        EXPECT_FALSE(gif.reader.read_frame());
    }
}

TEST(GifReader, RefusesWhatIsNotAGifOrTooLarge) {
    gif_reader reader;
    auto refuses = [&](const bytes& file, const std::string& reason) {
        EXPECT_FALSE(reader.open_bytes(file.data(), file.size()));
        EXPECT_EQ(reader.failure(), reason);
        EXPECT_FALSE(reader.read_frame());
    };
    refuses({}, "not a GIF file");
    refuses({'G', 'I', 'X', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0}, "not a GIF file");
    refuses({'G', 'I', 'F', '8', '9', 'a', 1, 0, 1}, "the file ends inside its header");
    refuses(gif_builder(0, 5).finish(), "the logical screen is empty");
    refuses(gif_builder(16385, 1).finish(), "the logical screen of 16385 x 1 pixels is too large");
    refuses(gif_builder(8000, 8001).finish(),
            "the logical screen of 8000 x 8001 pixels is too large");
    bytes cut = gif_builder(1, 1, four_colours).finish();
    cut.resize(20);
    refuses(cut, "the file ends inside its global colour table");

    EXPECT_TRUE(reader.open_bytes(gif_builder(16384, 1).finish().data(), 13));
    bytes huge = gif_builder(4, 4, four_colours)
                     .image_with_raster(image(0, 0, 16384, 3907, {}), {2, 0})
                     .finish();
    EXPECT_TRUE(reader.open_bytes(huge.data(), huge.size()));
    EXPECT_FALSE(reader.read_frame());
    EXPECT_EQ(reader.failure(), "an image of 16384 x 3907 pixels is too large");
}

TEST(GifReader, FilesCutAnywhereGiveWhatTheyHold) {
    bytes indices(64);
    for (std::size_t i = 0; i < indices.size(); ++i)
        indices[i] = std::uint8_t(i * 5 % 4);
    image_spec interlaced = image(2, 1, 8, 8, indices);
    interlaced.interlaced = true;
    interlaced.local_table = four_colours;
    gif_builder builder(10, 10, four_colours);
    std::vector<std::size_t> frame_ends; // where each frame's data is complete
    builder.comment("x").control(0x05, 2).image(image(0, 0, 8, 8, indices));
    frame_ends.push_back(builder.finish().size() - 1);
    builder.image(interlaced);
    frame_ends.push_back(builder.finish().size() - 1);
    builder.control(0x10, 0).image(image(3, 3, 8, 8, indices));
    frame_ends.push_back(builder.finish().size() - 1);
    const bytes file = builder.finish();

    gif_reader reader;
    ASSERT_TRUE(reader.open_bytes(file.data(), file.size()));
    std::vector<std::vector<pixel>> whole;
    while (auto frame = reader.read_frame())
        whole.push_back(pixels_of(*frame));
    ASSERT_EQ(whole.size(), 3u);

    for (std::size_t length = 0; length < file.size(); ++length) {
        std::size_t complete = 0;
        while (complete < frame_ends.size() && frame_ends[complete] <= length)
            ++complete;
        if (!reader.open_bytes(file.data(), length)) {
            EXPECT_LT(length, 13u + 12u) << "only a cut header or global table may be refused";
            continue;
        }
        std::size_t count = 0;
        while (auto frame = reader.read_frame()) {
            ASSERT_LT(count, whole.size());
            if (count < complete) {
                EXPECT_EQ(pixels_of(*frame), whole[count]) << "cut at " << length;
            }
            ++count;
        }
        EXPECT_GE(count, complete) << "cut at " << length;
        EXPECT_FALSE(reader.is_open());
    }
}

TEST(GifReader, OpeningAgainStartsAfresh) {
    bytes big = gif_builder(3, 3, four_colours).image(image(0, 0, 3, 3, bytes(9, 1))).finish();
    bytes small = gif_builder(1, 2, four_colours, 3).image(image(0, 1, 1, 1, {2})).finish();
    gif_reader reader;
    ASSERT_TRUE(reader.open_bytes(big.data(), big.size()));
    ASSERT_TRUE(reader.read_frame());
    ASSERT_TRUE(reader.open_bytes(small.data(), small.size()));
    EXPECT_EQ(frame_pixels(reader),
              (std::vector<pixel>{background_pixel(0x0000FF), painted(0x00FF00)}));
}

TEST(LoadGif, ReadsTheFirstFrameFromDiskOrSaysWhyNot) {
    const char* base = std::getenv("ZOETRA_TEST_TMP");
    std::filesystem::path dir =
        std::filesystem::path(base != nullptr ? base : ZOETRA_BINARY_DIR "/test-tmp") / "gif-load";
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "two frames.gif").string();
    bytes file = gif_builder(2, 1, four_colours)
                     .control(2 << 2, 0)
                     .image(image(0, 0, 2, 1, {1, 2}))
                     .image(image(0, 0, 2, 1, {3, 3}))
                     .finish();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));

    for (const std::string& name : {path, "*" + path}) {
        std::unique_ptr<buffer> image = load_gif(name);
        ASSERT_TRUE(image) << name;
        EXPECT_EQ(pixels_of(*image), (std::vector<pixel>{painted(0xFF0000), painted(0x00FF00)}));
        EXPECT_FALSE(image->is_locked());
    }
    std::string failure;
    EXPECT_FALSE(load_gif("", failure));
    EXPECT_EQ(failure, "no file name");
    EXPECT_FALSE(load_gif((dir / "missing.gif").string(), failure));
    EXPECT_EQ(failure, "cannot open " + (dir / "missing.gif").string());
    bytes no_image = gif_builder(2, 1, four_colours).finish();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(no_image.data()), std::streamsize(no_image.size()));
    EXPECT_FALSE(load_gif(path, failure));
    EXPECT_EQ(failure, "the file holds no image");
}

} // namespace
} // namespace zoetra::decoder_test
