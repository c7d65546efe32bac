// The PNG and JPEG readers against PIL on stills it makes at test time
// (make_still_corpus.py), the choice of reader by content, and the refusal of
// files the readers cannot take, quietly and with the libraries' reasons.
#include "gif_support.hpp"
#include "still_files.hpp"

#include "gif/picture.hpp"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <tuple>

namespace zoetra::test {
namespace {

namespace fs = std::filesystem;

// PIL's decoding as make_still_corpus.py writes it (width, height, RGBA bytes),
// as the pixels the readers should give: alpha below 128 is the transparent flag.
struct reference_image {
    int width = 0, height = 0;
    std::vector<pixel> pixels;
};
reference_image read_reference(const fs::path& path) {
    const bytes data = read_file<bytes>(path);
    reference_image image;
    auto u32 = [&](std::size_t at) {
        return int(data[at] | data[at + 1] << 8 | data[at + 2] << 16 | data[at + 3] << 24);
    };
    if (data.size() >= 8) {
        image.width = u32(0);
        image.height = u32(4);
    }
    for (std::size_t at = 8; at + 4 <= data.size(); at += 4)
        image.pixels.push_back((data[at + 3] < 128 ? transparent_flag : 0) | pixel(data[at]) << 16 |
                               pixel(data[at + 1]) << 8 | data[at + 2]);
    return image;
}

// Both decode JPEGs with libjpeg-turbo's defaults (the accurate integer inverse
// DCT, smooth upsampling), so JPEG pixels match exactly too, not only within 1.
TEST(StillReference, EveryPngAndJpegMatchesPilPixelForPixel) {
    const std::string python = ZOETRA_PYTHON;
    ASSERT_TRUE(!python.empty() && python.find("NOTFOUND") == std::string::npos)
        << "the still corpus needs a python3 with PIL (apt-get install python3-pil)";
    const fs::path dir = scratch_folder("still-reference-corpus");
    const std::string command = "\"" + python +
                                "\" \"" ZOETRA_SOURCE_DIR "/tests/gif/make_still_corpus.py\" \"" +
                                dir.string() + "\"";
    ASSERT_EQ(std::system(command.c_str()), 0) << "making the corpus failed (see above)";
    std::vector<fs::path> pictures;
    for (const auto& entry : fs::directory_iterator(dir))
        if (entry.path().extension() != ".rgba")
            pictures.push_back(entry.path());
    std::sort(pictures.begin(), pictures.end());
    ASSERT_GE(pictures.size(), 20u);
    for (const fs::path& path : pictures) {
        SCOPED_TRACE(path.filename().string());
        const reference_image expected = read_reference(path.string() + ".rgba");
        result<std::unique_ptr<buffer>> read = read_picture(path.string());
        ASSERT_TRUE(read) << read.message();
        const std::unique_ptr<buffer>& picture = read.value();
        ASSERT_EQ(std::pair(int(picture->width()), int(picture->height())),
                  std::pair(expected.width, expected.height));
        const std::vector<pixel> got = pixels_of(*picture);
        ASSERT_EQ(got.size(), expected.pixels.size());
        std::size_t wrong = 0;
        for (std::size_t i = 0; i < got.size(); ++i)
            wrong += got[i] != expected.pixels[i];
        EXPECT_EQ(wrong, 0u) << "pixels that differ from PIL's";
        const gif_size probed = probe_picture_size(path.string());
        EXPECT_EQ(std::pair(probed.width, probed.height),
                  std::pair(picture->width(), picture->height()));
    }
}

class PictureFiles : public ::testing::Test {
  protected:
    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    // A 6 x 4 RGBA PNG whose left half is transparent.
    std::string small_png(const std::string& name) const {
        std::vector<std::uint8_t> rgba;
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 6; ++x)
                rgba.insert(rgba.end(), {std::uint8_t(40 * x), std::uint8_t(50 * y), 200,
                                         std::uint8_t(x < 3 ? 0 : 255)});
        return write_png(path(name), 6, 4, rgba);
    }
    std::string small_jpeg(const std::string& name, J_COLOR_SPACE space = JCS_RGB,
                           bool ycck = false) const {
        const int components = space == JCS_CMYK ? 4 : 3;
        return write_jpeg(path(name), 16, 8, std::vector<std::uint8_t>(16 * 8 * components, 90),
                          space, ycck);
    }

    const fs::path dir_ = scratch_folder("pictures");
};

TEST_F(PictureFiles, TheFirstBytesChooseTheReaderNotTheName) {
    fs::copy_file(small_png("a.png"), path("png.gif"), fs::copy_options::overwrite_existing);
    fs::copy_file(small_jpeg("a.jpg"), path("jpeg.png"), fs::copy_options::overwrite_existing);
    write_file(path("gif.jpg"), gif_builder(3, 2, {0, 0}).image({0, 0, 3, 2, bytes(6)}).finish());
    for (auto [name, width, height] : {std::tuple("png.gif", 6, 4), std::tuple("jpeg.png", 16, 8),
                                       std::tuple("gif.jpg", 3, 2)}) {
        std::unique_ptr<buffer> picture = load_picture(path(name));
        ASSERT_TRUE(picture) << name;
        EXPECT_EQ(std::pair(int(picture->width()), int(picture->height())),
                  std::pair(width, height))
            << name;
        const gif_size probed = probe_picture_size(path(name));
        EXPECT_EQ(std::pair(int(probed.width), int(probed.height)), std::pair(width, height))
            << name;
    }
}

// One row per way a file can be unreadable: each is refused with a reason,
// nothing is printed and the process goes on.
TEST_F(PictureFiles, DamagedAndUnsupportedFilesAreRefusedQuietlyWithAReason) {
    const bytes png = read_file<bytes>(small_png("whole.png"));
    const bytes jpeg = read_file<bytes>(small_jpeg("whole.jpg"));
    auto find = [](const bytes& data, const std::string& text) {
        const bytes wanted(text.begin(), text.end());
        return std::size_t(std::search(data.begin(), data.end(), wanted.begin(), wanted.end()) -
                           data.begin());
    };
    auto big_endian = [](const bytes& data, std::size_t at) {
        return std::uint32_t(data[at]) << 24 | std::uint32_t(data[at + 1]) << 16 |
               std::uint32_t(data[at + 2]) << 8 | data[at + 3];
    };
    const std::size_t idat = find(png, "IDAT");
    ASSERT_LT(idat, png.size());

    bytes truncated_png(png.begin(), png.begin() + long(idat) + 8);
    bytes corrupt_idat = png; // the data is whole, its check sum is not
    corrupt_idat[idat + 4 + big_endian(png, idat - 4)] ^= 0x55;
    bytes truncated_jpeg(jpeg.begin(), jpeg.begin() + long(jpeg.size() * 2 / 3));
    // The frame marker's height and width (after its length and precision).
    bytes huge_jpeg = jpeg;
    const std::size_t frame = find(jpeg, "\xFF\xC0");
    ASSERT_LT(frame, jpeg.size());
    for (std::size_t i : {frame + 5, frame + 7})
        huge_jpeg[i] = 0x3E, huge_jpeg[i + 1] = 0x80; // 16,000 (0x3E80) on each side
    write_file(path("truncated.png"), truncated_png);
    write_file(path("corrupt_idat.png"), corrupt_idat);
    write_file(path("truncated.jpg"), truncated_jpeg);
    write_file(path("huge.jpg"), huge_jpeg);
    write_file(path("text.png"), {'h', 'e', 'l', 'l', 'o'});
    // 10,000 x 10,000 is within the side limit but not the pixel limit; 20,000
    // is over the side limit. The header changes, with its check sum.
    auto with_size = [&](std::uint32_t side) {
        bytes data = png;
        for (int at : {16, 20})
            for (int k = 0; k < 4; ++k)
                data[at + k] = std::uint8_t(side >> (24 - 8 * k));
        const std::uint32_t crc = std::uint32_t(crc32(0, data.data() + 12, 17));
        for (int k = 0; k < 4; ++k)
            data[29 + k] = std::uint8_t(crc >> (24 - 8 * k));
        return data;
    };
    write_file(path("many_pixels.png"), with_size(10000));
    write_file(path("wide.png"), with_size(20000));

    const struct {
        const char* name;
        std::string reason;
        std::string file;
    } cases[] = {
        {"truncated PNG", "the file ends early", path("truncated.png")},
        {"PNG with a damaged chunk", "IDAT: CRC error", path("corrupt_idat.png")},
        {"text called .png", "not a GIF, PNG or JPEG file", path("text.png")},
        {"PNG over the pixel limit", "an image of 10000 x 10000 pixels is too large",
         path("many_pixels.png")},
        {"PNG over the side limit", "Invalid IHDR data", path("wide.png")},
        {"truncated JPEG", "Premature end of JPEG file", path("truncated.jpg")},
        {"JPEG over the pixel limit", "an image of 16000 x 16000 pixels is too large",
         path("huge.jpg")},
        {"CMYK JPEG", "CMYK and YCCK JPEG images are not read", small_jpeg("cmyk.jpg", JCS_CMYK)},
        {"YCCK JPEG", "CMYK and YCCK JPEG images are not read",
         small_jpeg("ycck.jpg", JCS_CMYK, true)},
    };
    const int buffers_before = buffer::ring_size();
    ::testing::internal::CaptureStderr();
    std::vector<std::string> reasons;
    for (const auto& c : cases) {
        const result<std::unique_ptr<buffer>> picture = read_picture(c.file);
        reasons.push_back(picture ? "(read)" : picture.message());
    }
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(reasons[i], cases[i].reason) << cases[i].name;
    EXPECT_EQ(buffer::ring_size(), buffers_before) << "a refused file left a buffer behind";
}

TEST_F(PictureFiles, TheJpegProbeWalksMarkersAsLibjpegDoes) {
    // Segments before the frame marker, one of them long, stray bytes and fill
    // bytes before markers: the probe still finds the frame, and the file reads.
    bytes jpeg = read_file<bytes>(small_jpeg("plain.jpg"));
    bytes extra = {0xFF, 0xE1, 0xFF, 0xF0};
    extra.resize(extra.size() + 0xFFF0 - 2, 'x');
    extra.insert(extra.end(), {0x12, 0x34, 0xFF, 0xFF, 0xFF, 0xFE, 0x00, 0x04, 'h', 'i'});
    jpeg.insert(jpeg.begin() + 2, extra.begin(), extra.end());
    write_file(path("segments.jpg"), jpeg);
    std::unique_ptr<buffer> picture = load_picture(path("segments.jpg"));
    ASSERT_TRUE(picture);
    const gif_size probed = probe_picture_size(path("segments.jpg"));
    EXPECT_EQ(std::pair(int(probed.width), int(probed.height)), std::pair(16, 8));

    // A scan before any frame marker: nothing to measure, nothing to read.
    write_file(path("scan_first.jpg"), {0xFF, 0xD8, 0xFF, 0xDA, 0x00, 0x02, 0xFF, 0xD9});
    EXPECT_EQ(probe_picture_size(path("scan_first.jpg")).width, 0);
    EXPECT_FALSE(load_picture(path("scan_first.jpg")));
}

} // namespace
} // namespace zoetra::test
