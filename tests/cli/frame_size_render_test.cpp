// The renderer's frame: --size WxH and the presets make files of exactly that
// size (the old words keep their bytes in the recorded renders).
#include "gif/picture.hpp"
#include "run_command.hpp"

#include <gtest/gtest.h>

namespace zoetra::testing {
namespace {

std::string sample(const char* name) {
    return quoted(std::string(ZOETRA_SOURCE_DIR) + "/samples/" + name);
}

TEST(RendererFrameSize, ChosenSizesMakeFilesOfThatSizeAndBadOnesAreRefused) {
    const fs::path folder = scratch_folder("frame-size");
    const struct {
        const char* arguments;
        int width, height;
    } cases[] = {
        {"--size emoji", 128, 128},
        {"--size 640x480", 640, 480},
        {"--size chat", 480, 360}, // the photo's 4:3
        {"--size 16x16 --enlarge", 16, 16},
    };
    for (const auto& c : cases) {
        const std::string out = (folder / "out.gif").string();
        command_result r = run(renderer() + " -q -e flag -n 2 " + c.arguments + " -o " +
                               quoted(out) + " " + sample("photo.gif"));
        ASSERT_EQ(r.status, 0) << c.arguments << ": " << r.err;
        const gif_size size = probe_picture_size(out);
        EXPECT_EQ(size.width, c.width) << c.arguments;
        EXPECT_EQ(size.height, c.height) << c.arguments;
    }
    for (const char* bad : {"huge", "2000x100", "10x10", "640x"}) {
        command_result r = run(renderer() + " -q --size " + bad + " " + sample("photo.gif"));
        EXPECT_EQ(r.status, 2) << bad; // bad input, as every refused setting
        EXPECT_NE(r.err.find("--size"), std::string::npos) << r.err;
    }
}

} // namespace
} // namespace zoetra::testing
