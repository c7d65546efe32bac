// The renderer over PNG and JPEG stills: the same picture as PNG and as GIF
// gives the same animation, byte for byte; an unreadable still is bad input.
#include "../gif/still_files.hpp"
#include "gif/decoder.hpp"
#include "run_command.hpp"

#include <gtest/gtest.h>

#include <filesystem>

namespace zoetra::cli {
namespace {

using testing::command_result;

class StillRender : public ::testing::Test {
  protected:
    StillRender() {
        folder_ = std::filesystem::path(ZOETRA_BINARY_DIR) / "test-tmp" / "cli-stills" /
                  ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::filesystem::create_directories(folder_);
    }
    command_result render(const std::string& arguments) {
        return testing::run(testing::renderer() + " " + arguments);
    }
    std::string path(const char* name) const { return (folder_ / name).string(); }
    static std::string sample(const char* name) {
        return std::string(ZOETRA_SOURCE_DIR) + "/samples/" + name;
    }

    std::filesystem::path folder_;
};

TEST_F(StillRender, APngRendersAsTheGifWithTheSamePixels) {
    // The sample (with transparent pixels) as a PNG, alpha 0 where it is transparent.
    std::unique_ptr<buffer> logo = load_gif(sample("logo.gif"));
    ASSERT_TRUE(logo);
    std::vector<std::uint8_t> rgba;
    {
        buffer_lock hold(*logo);
        const pixel* p = logo->pixels();
        for (std::size_t i = 0; i < std::size_t(logo->width()) * logo->height(); ++i)
            rgba.insert(rgba.end(), {std::uint8_t(p[i] >> 16), std::uint8_t(p[i] >> 8),
                                     std::uint8_t(p[i]), std::uint8_t(is_visible(p[i]) ? 255 : 0)});
    }
    const std::string png = test::write_png(path("logo.png"), logo->width(), logo->height(), rgba);
    for (const char* effect : {"flag", "mosaic"}) {
        SCOPED_TRACE(effect);
        const std::string options = std::string("-q -n 3 -e ") + effect + " -o ";
        command_result from_gif = render(options + path("from_gif.gif") + " " + sample("logo.gif"));
        ASSERT_EQ(from_gif.status, 0) << from_gif.err;
        command_result from_png = render(options + path("from_png.gif") + " " + png);
        ASSERT_EQ(from_png.status, 0) << from_png.err;
        EXPECT_TRUE(testing::read_file(path("from_gif.gif")) ==
                    testing::read_file(path("from_png.gif")));
    }
}

TEST_F(StillRender, AnUnreadableJpegIsBadInputWithItsReason) {
    const std::string cmyk = test::write_jpeg(path("cmyk.jpg"), 8, 8,
                                              std::vector<std::uint8_t>(8 * 8 * 4, 50), JCS_CMYK);
    command_result refused = render("-q " + cmyk);
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("cmyk.jpg\" cannot be used: CMYK and YCCK JPEG images are not read"),
              std::string::npos)
        << refused.err;
}

} // namespace
} // namespace zoetra::cli
