// The renderer's frame: --size WxH and the presets make files of exactly that
// size (the old words keep their bytes in the recorded renders); --for and
// --max-bytes fit the file under a limit and say how to make it again.
#include "gif/picture.hpp"
#include "run_command.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

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

std::string file_bytes_of(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(RendererFit, TheFileFitsAndTheOptionsItReportsMakeTheSameFile) {
    const fs::path folder = scratch_folder("fit");
    const std::string out = (folder / "fitted.gif").string();
    const std::string common = renderer() + " -q -e flag -n 4 ";
    command_result fitted = run(common + "--for discord-emoji --max-bytes 20K -o " + quoted(out) +
                                " " + sample("photo.gif"));
    ASSERT_EQ(fitted.status, 0) << fitted.err;
    EXPECT_LE(fs::file_size(out), 20u * 1024);
    EXPECT_EQ(probe_picture_size(out), (gif_size{128, 128}));
    const std::string marker = "the options: ";
    const std::size_t at = fitted.err.find(marker);
    ASSERT_NE(at, std::string::npos) << fitted.err;
    std::string options = fitted.err.substr(at + marker.size());
    options = options.substr(0, options.find('\n'));
    const std::string again = (folder / "again.gif").string();
    command_result remade = run(common + "--size emoji " + options + " -o " + quoted(again) + " " +
                                sample("photo.gif"));
    ASSERT_EQ(remade.status, 0) << options << ": " << remade.err;
    EXPECT_EQ(file_bytes_of(again), file_bytes_of(out)) << options;

    // Too tight for anything: nothing is written, status 5, and the message
    // says what an allowance would reach.
    const std::string none = (folder / "none.gif").string();
    command_result tight =
        run(common + "--max-bytes 1K -o " + quoted(none) + " " + sample("photo.gif"));
    EXPECT_EQ(tight.status, 5);
    EXPECT_FALSE(fs::exists(none));
    EXPECT_NE(tight.err.find("nothing fits under 1024 bytes"), std::string::npos) << tight.err;
    EXPECT_NE(tight.err.find("--fit-may-shrink"), std::string::npos) << tight.err;
    for (const char* bad : {"--max-bytes 12", "--max-bytes lots", "--for nowhere"}) {
        command_result r = run(renderer() + " -q " + bad + " " + sample("photo.gif"));
        EXPECT_EQ(r.status, 2) << bad << ": " << r.err;
    }
}

} // namespace
} // namespace zoetra::testing
