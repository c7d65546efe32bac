// The LZW decoder against the step-by-step reference and hand-made code
// streams; the frame reader on hand-made files, and against giflib on files
// that other encoders make at test time (make_reference_corpus.py).
#include "gif_support.hpp"

#include "gif/decoder.hpp"
#include "gif/lzw_decoder.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <random>

namespace zoetra::test {
namespace {

struct decoded {
    lzw_status status;
    bytes indices;
    std::size_t stream_position; // where the stream stood afterwards
};

decoded decode(const bytes& raster, int width, int height, bool interlaced = false) {
    byte_stream stream(raster.data(), raster.size());
    decoded result{lzw_status::decoded, bytes(std::size_t(width) * height + 1, 0), 0};
    result.indices.back() = 0xEE;
    bytes line(std::size_t(width) + 1);
    auto decoder = std::make_unique<lzw_decoder>();
    result.status = decoder->decode(stream, interlaced, std::uint16_t(width), std::uint16_t(height),
                                    result.indices.data(), line.data());
    EXPECT_EQ(result.indices.back(), 0xEE) << "wrote past the index buffer";
    result.indices.pop_back();
    result.stream_position = stream.position();
    return result;
}

TEST(LzwDecode, MatchesTheReferenceOnValidCutAndCorruptStreams) {
    std::mt19937 random(11);
    for (int trial = 0; trial < 800; ++trial) {
        const int code_size = 2 + int(random() % 8);
        const bool large = random() % 3 == 0; // large images fill the table
        const int width = 1 + int(random() % (large ? 400 : 40));
        const int height = 1 + int(random() % (large ? 200 : 30));
        const bool interlaced = random() % 3 == 0, cut = random() % 5 == 0;
        const std::size_t count = std::size_t(width) * height;
        bytes raster, indices;
        if (trial % 4 == 0) { // valid, one in five cut short
            indices = random_image(random, count, 1 << std::min(code_size, 8), trial % 3 * 40);
            raster = raster_data(code_size, plain_lzw(indices, code_size, random() % 2 == 0));
            if (cut)
                raster.resize(1 + random() % raster.size());
        } else if (trial % 4 == 1) { // codes up to a few beyond the table, clear codes
            code_writer writer(code_size);
            for (int i = 0, n = int(random() % 600); i < n; ++i) {
                const int roll = int(random() % 100);
                writer.put(std::min(4095, roll < 3    ? writer.clear_code()
                                          : roll < 10 ? writer.next_free() + int(random() % 3)
                                                      : int(random() % writer.next_free())));
            }
            raster = raster_data(code_size, writer.data(), 1 + random() % 255);
        } else if (trial % 4 == 2) { // long strings, a full table kept without a clear code
            raster = raster_data(
                code_size, plain_lzw(bytes(count, std::uint8_t(random() % 4)), code_size, true));
        } else { // noise
            raster = {std::uint8_t(code_size)};
            for (int i = 0, n = int(random() % 400); i < n; ++i)
                raster.push_back(std::uint8_t(random()));
        }
        const reference_result expected = reference_lzw_decode(raster, interlaced, width, height);
        const decoded result = decode(raster, width, height, interlaced);
        ASSERT_EQ(result.status, expected.status) << "trial " << trial;
        ASSERT_EQ(result.indices, expected.indices) << "trial " << trial;
        ASSERT_EQ(result.stream_position, expected.end_of_data) << "trial " << trial;
        if (!indices.empty() && !cut && !interlaced) { // a round trip
            ASSERT_EQ(result.indices, indices) << "trial " << trial;
        }
    }
}

TEST(LzwDecode, HandMadeCodeStreams) {
    struct stream_case {
        const char* name;
        std::vector<int> codes;
        bytes expected;
        int height = 1, code_size = 2;
    } const cases[] = {
        {"roots above 255 give their low 8 bits", {512, 300, 7, 511, 513}, {44, 7, 255}, 1, 9},
        {"6 (being made) is 1 1, 7 is 1 1 1", {4, 1, 6, 7, 2, 5}, {1, 1, 1, 1, 1, 1, 2}},
        {"without a clear first, 6 is 0 3", {3, 6, 5}, {3, 0, 3}},
        {"clears in a row; 7 after a clear is 0", {4, 4, 4, 2, 4, 7, 1, 5}, {2, 0, 1}},
        {"a stop loses the partial row", {4, 1, 2, 3, 1, 2, 3}, {1, 2, 3, 1, 0, 0, 0, 0}, 2},
        {"an end code keeps it", {4, 1, 2, 3, 1, 2, 3, 5}, {1, 2, 3, 1, 2, 3, 0, 0}, 2},
    };
    for (const stream_case& c : cases) {
        code_writer writer(c.code_size);
        const bytes raster = raster_data(c.code_size, writer.put_all(c.codes).data());
        const decoded result = decode(raster, int(c.expected.size()) / c.height, c.height);
        EXPECT_EQ(result.status, lzw_status::decoded);
        EXPECT_EQ(result.indices, c.expected) << c.name;
    }
    for (int size : {0, 1, 10, 11, 255})
        EXPECT_EQ(decode({std::uint8_t(size), 1, 0, 0}, 2, 2).status, lzw_status::bad_code_size);
    EXPECT_EQ(decode({}, 2, 2).status, lzw_status::end_of_file);
    EXPECT_EQ(decode(raster_data(2, plain_lzw(bytes(8, 1), 2)), 0, 5).status,
              lzw_status::decoded); // empty image

    // A code beyond the table makes entry 7's prefix name entry 20; later
    // entry 20 gets prefix 7, and code 7 loops between them until the stack is
    // full, which ends the image like data that stops.
    code_writer cycle(2);
    cycle.put_all({4, 1, 20});
    while (cycle.next_free() < 20)
        cycle.put(7);
    const bytes raster = raster_data(2, cycle.put_all({7, 7}).data());
    const decoded result = decode(raster, 64, 64);
    EXPECT_EQ(result.status, lzw_status::decoded);
    EXPECT_EQ(result.indices, reference_lzw_decode(raster, false, 64, 64).indices);
}

namespace fs = std::filesystem;
using frames = std::vector<std::vector<pixel>>;

const table four_colours = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
constexpr pixel black = 0, red = 0xFF0000, green = 0x00FF00, blue = 0x0000FF;
// What the canvas holds where no frame has drawn: the background, marked transparent.
constexpr pixel background(pixel rgb) {
    return rgb | transparent_flag;
}

// Every frame of the file, read by a fresh reader or the one given; the
// reader must end without a failure.
frames read_all(const bytes& file, gif_reader* given = nullptr) {
    gif_reader fresh;
    gif_reader& reader = given != nullptr ? *given : fresh;
    EXPECT_TRUE(reader.open_bytes(file.data(), file.size())) << reader.failure();
    frames out;
    while (auto frame = reader.read_frame())
        out.push_back(pixels_of(*frame));
    EXPECT_EQ(reader.failure(), "");
    return out;
}

TEST(GifReader, VersionsAndInterlacedImagesReadAlike) {
    // A 2 x 10 image at (1, 0) of a 3 x 10 screen; background index 2.
    bytes indices;
    std::vector<pixel> expected(30, background(green));
    for (int i = 0; i < 20; ++i) {
        indices.push_back(std::uint8_t((i * 7 / 3) % 4));
        expected[std::size_t(i / 2 * 3 + 1 + i % 2)] = four_colours[indices.back()];
    }
    gif_reader reader; // one reader throughout: each file starts afresh
    for (const char* version : {"87a", "89a", "xyz"})
        for (bool interlaced : {false, true}) {
            picture pic{1, 0, 2, 10, indices};
            pic.interlaced = interlaced;
            const bytes file = gif_builder(3, 10, four_colours, 2, version).image(pic).finish();
            EXPECT_EQ(read_all(file, &reader), frames{expected}) << version << " " << interlaced;
            EXPECT_EQ(reader.background(), (colour{0, 0x00, 0xFF, 0x00}));
        }
    // Without a global table the background is black.
    EXPECT_EQ(read_all(gif_builder(2, 1).image({0, 0, 1, 1, {0}}).finish(), &reader),
              (frames{{black, background(black)}}));
}

bytes with_disposal(int disposal) {
    return gif_builder(2, 1, four_colours)
        .image({0, 0, 2, 1, {1, 1}})
        .control(disposal << 2, 0)
        .image({0, 0, 1, 1, {3}})
        .image({1, 0, 1, 1, {2}})
        .finish();
}

TEST(GifReader, ComposesFramesByTheirTablesTransparencyAndDisposal) {
    table eight;
    for (std::uint32_t i = 1; i <= 8; ++i)
        eight.push_back(0x101010 * i);
    picture local{
        0, 0, 8, 1, {0, 1, 2, 3, 4, 5, 6, 7}, 3, {0xA00000, 0xB00000, 0xC00000, 0xD00000}};
    bytes sixteen(16);
    for (std::size_t i = 0; i < sixteen.size(); ++i)
        sixteen[i] = std::uint8_t(1 + i % 3);
    const pixel bg = background(black), green_bg = background(green);
    const std::tuple<const char*, bytes, frames> cases[] = {
        {"a local table of four entries replaces entries 0 to 3 only",
         gif_builder(8, 1, eight).image(local).finish(),
         {{0xA00000, 0xB00000, 0xC00000, 0xD00000, 0x505050, 0x606060, 0x707070, 0x808080}}},
        // Packed 0x09: transparent index 0, disposal 2.
        {"a control block applies to the next image only: index 0 of the third is black",
         gif_builder(4, 1, four_colours, 2)
             .image({0, 0, 4, 1, {1, 1, 1, 1}})
             .control(0x09, 0)
             .image({1, 0, 2, 1, {0, 3}})
             .image({0, 0, 1, 1, {0}})
             .finish(),
         {{red, red, red, red}, {red, red, blue, red}, {black, green_bg, green_bg, red}}},
        {"disposal 3 does not restore the canvas",
         with_disposal(3),
         {{red, red}, {blue, red}, {blue, green}}},
        {"disposal 4 restores the canvas",
         with_disposal(4),
         {{red, red}, {blue, red}, {red, green}}},
        {"frames reaching outside the screen are clipped, disposal 2 clears their visible part",
         gif_builder(3, 3, four_colours)
             .control(2 << 2, 0)
             .image({1, 2, 4, 4, sixteen})
             .image({3, 0, 4, 4, sixteen}) // wholly outside
             .finish(),
         {{bg, bg, bg, bg, bg, bg, bg, red, green}, std::vector<pixel>(9, bg)}},
    };
    for (const auto& [name, file, expected] : cases)
        EXPECT_EQ(read_all(file), expected) << name;
}

TEST(GifReader, RefusesWhatIsNotAGifAbsurdSizesAndBadCodeSizes) {
    auto with_code_size = [](int size) {
        return gif_builder(1, 1, four_colours)
            .image({0, 0, 1, 1, {1}})
            .image_with_raster({0, 0, 1, 1}, {std::uint8_t(size), 1, 0, 0})
            .image({0, 0, 1, 1, {2}})
            .finish();
    };
    bytes cut_table = gif_builder(1, 1, four_colours).finish();
    cut_table.resize(20);
    // The file, the frames it gives before the failure (-1: refused at opening), the failure.
    const std::tuple<bytes, int, std::string> cases[] = {
        {{}, -1, "not a GIF file"},
        {{'G', 'I', 'X', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0}, -1, "not a GIF file"},
        {{'G', 'I', 'F', '8', '9', 'a', 1, 0, 1}, -1, "the file ends inside its header"},
        {gif_builder(0, 5).finish(), -1, "the logical screen is empty"},
        {gif_builder(16385, 1).finish(), -1, "the logical screen of 16385 x 1 pixels is too large"},
        {gif_builder(8000, 8001).finish(), -1,
         "the logical screen of 8000 x 8001 pixels is too large"},
        {cut_table, -1, "the file ends inside its global colour table"},
        {gif_builder(4, 4, four_colours).image_with_raster({0, 0, 16384, 3907}, {2, 0}).finish(), 0,
         "an image of 16384 x 3907 pixels is too large"},
        {with_code_size(1), 1, "an image's minimum code size is outside 2 to 9"},
        {with_code_size(10), 1, "an image's minimum code size is outside 2 to 9"}};
    gif_reader reader;
    for (const auto& [file, frames, failure] : cases) {
        EXPECT_EQ(reader.open_bytes(file.data(), file.size()).message(),
                  frames >= 0 ? "" : failure);
        int count = 0;
        while (reader.read_frame())
            ++count;
        EXPECT_EQ(count, std::max(frames, 0)) << failure;
        EXPECT_EQ(reader.failure(), failure);
        EXPECT_FALSE(reader.is_open());
    }
    EXPECT_TRUE(reader.open_bytes(gif_builder(16384, 1).finish().data(), 13)); // not too large
}

TEST(GifReader, ExtensionsArePassedOverAndFilesCutAnywhereGiveWhatTheyHold) {
    // An application extension, a comment, a plain text and an unknown extension.
    const bytes extensions = {0x21, 0xFF, 11, 'N', 'E', 'T', 'S',  'C',  'A',  'P', 'E', '2', '.',
                              '0',  3,    1,  0,   0,   0,   0x21, 0xFE, 3,    'a', ',', 'b', 0,
                              0x21, 0x01, 12, 0,   0,   0,   0,    8,    0,    8,   0,   8,   8,
                              1,    0,    2,  'h', 'i', 0,   0x21, 0x99, 0x3B, 0x00};
    bytes indices(64);
    for (std::size_t i = 0; i < indices.size(); ++i)
        indices[i] = std::uint8_t(i * 5 % 4);
    picture interlaced{2, 1, 8, 8, indices};
    interlaced.interlaced = true;
    interlaced.local_table = four_colours;
    gif_builder builder(10, 10, four_colours);
    std::vector<std::size_t> frame_ends; // where each frame's data is complete
    builder.raw(extensions).control(0x05, 2).image({0, 0, 8, 8, indices});
    frame_ends.push_back(builder.finish().size() - 1);
    builder.image(interlaced);
    frame_ends.push_back(builder.finish().size() - 1);
    builder.control(0x10, 0).image({3, 3, 8, 8, indices});
    frame_ends.push_back(builder.finish().size() - 1);
    const bytes file = builder.finish();
    const frames whole = read_all(file);
    ASSERT_EQ(whole.size(), 3u);
    EXPECT_EQ(std::vector<pixel>(whole[0].begin(), whole[0].begin() + 4),
              (std::vector<pixel>{black, red, background(black), blue}));

    gif_reader reader;
    for (std::size_t length = 0; length < file.size(); ++length) {
        const auto complete = std::size_t(std::count_if(frame_ends.begin(), frame_ends.end(),
                                                        [&](auto e) { return e <= length; }));
        if (!reader.open_bytes(file.data(), length)) {
            EXPECT_LT(length, 13u + 12u) << "only a cut header or global table may be refused";
            continue;
        }
        std::size_t count = 0;
        for (; auto frame = reader.read_frame(); ++count) {
            ASSERT_LT(count, whole.size());
            if (count < complete) {
                EXPECT_EQ(pixels_of(*frame), whole[count]) << "cut at " << length;
            }
        }
        EXPECT_GE(count, complete) << "cut at " << length;
        EXPECT_FALSE(reader.is_open());
    }
}

TEST(LoadGif, ReadsTheFirstFrameFromDiskOrSaysWhyNot) {
    const fs::path dir = scratch_folder("gif-load");
    const std::string path = (dir / "two frames.gif").string();
    write_file(path, gif_builder(2, 1, four_colours)
                         .control(2 << 2, 0)
                         .image({0, 0, 2, 1, {1, 2}})
                         .image({0, 0, 2, 1, {3, 3}})
                         .finish());
    std::unique_ptr<buffer> image = load_gif(path);
    ASSERT_TRUE(image);
    EXPECT_EQ(pixels_of(*image), (std::vector<pixel>{red, green}));
    EXPECT_FALSE(image->is_locked());
    EXPECT_EQ(read_gif("").message(), "no file name");
    EXPECT_EQ(read_gif((dir / "missing.gif").string()).message(),
              "cannot open " + (dir / "missing.gif").string());
    write_file(path, gif_builder(2, 1, four_colours).finish());
    EXPECT_EQ(read_gif(path).message(), "the file holds no image");
    EXPECT_FALSE(load_gif(path));
}

TEST(GifReference, EveryFrameOfFilesFromOtherEncodersMatchesGiflib) {
    const std::string python = ZOETRA_PYTHON;
    ASSERT_TRUE(!python.empty() && python.find("NOTFOUND") == std::string::npos)
        << "the reference corpus needs a python3 with PIL (apt-get install python3-pil)";
    const fs::path dir = scratch_folder("gif-reference-corpus");
    const std::string command =
        "\"" + python + "\" \"" ZOETRA_SOURCE_DIR "/tests/gif/make_reference_corpus.py\" \"" +
        dir.string() + "\"";
    ASSERT_EQ(std::system(command.c_str()), 0) << "making the corpus failed (see above)";
    std::vector<fs::path> files(fs::directory_iterator(dir), {});
    std::sort(files.begin(), files.end());
    ASSERT_FALSE(files.empty());
    for (const fs::path& path : files) {
        SCOPED_TRACE(path.filename().string());
        const std::optional<giflib_file> gif = giflib_decode(read_file<bytes>(path));
        ASSERT_TRUE(gif) << "giflib cannot read it";
        const frames expected = compose_by_our_rules(*gif);
        ASSERT_FALSE(expected.empty());

        std::unique_ptr<buffer> first = load_gif(path.string());
        ASSERT_TRUE(first);
        EXPECT_EQ(std::make_pair(int(first->width()), int(first->height())),
                  std::make_pair(gif->width, gif->height));
        EXPECT_TRUE(pixels_of(*first) == expected[0]) << "first frame differs";

        gif_reader reader;
        ASSERT_TRUE(reader.open(path.string())) << reader.failure();
        std::size_t count = 0;
        for (; auto frame = reader.read_frame(); ++count) {
            ASSERT_LT(count, expected.size());
            EXPECT_TRUE(pixels_of(*frame) == expected[count]) << "frame " << count;
        }
        EXPECT_EQ(reader.failure(), "");
        EXPECT_EQ(count, expected.size());
    }
}

} // namespace
} // namespace zoetra::test
