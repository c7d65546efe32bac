// Files from the writer as two independent programs read them: ImageMagick
// and ffmpeg must see the same pixels (the global table colour of every
// index, index 255 transparent), the delay, the disposal and the loop count.
#include "gif/encoder.hpp"

#include "encoder_support.hpp"

#include <cstdio>
#include <optional>

namespace zoetra {
namespace {

bool have_tool(const char* name) {
    const std::string probe = std::string("command -v ") + name + " >/dev/null 2>&1";
    return std::system(probe.c_str()) == 0;
}

std::string run(const std::string& command) {
    std::string out;
    if (std::FILE* pipe = popen(command.c_str(), "r")) {
        char chunk[4096];
        std::size_t got;
        while ((got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0)
            out.append(chunk, got);
        pclose(pipe);
    }
    return out;
}

struct written_file {
    std::string path;
    std::array<std::uint8_t, 768> table{};
    test::decoded_gif decoded;
};

// Four frames of 64 x 40 pixels: gradients with grain, a transparent border
// that moves from frame to frame.
written_file write_animation(std::uint16_t loop) {
    constexpr int width = 64, height = 40, frame_count = 4;
    std::vector<std::unique_ptr<buffer>> owned;
    std::vector<buffer*> frames;
    for (int f = 0; f < frame_count; ++f) {
        owned.push_back(std::make_unique<buffer>(width, height, colour{1, 0, 0, 0}));
        buffer& frame = *owned.back();
        frames.push_back(&frame);
        buffer_lock hold(frame);
        test::noise grain(std::uint32_t(f + 3));
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                pixel& p = frame.pixels()[y * width + x];
                if (x < 4 + f * 3 || y > height - 6 + f)
                    continue; // background
                const int n = grain.next(11);
                p = pixel(std::min(255, x * 4 + n)) << 16 | pixel(std::min(255, y * 6 + n)) << 8 |
                    pixel((x * y + f * 40) % 256);
            }
    }
    written_file out;
    out.path = (test::scratch_directory() / ("viewers_" + std::to_string(loop) + ".gif")).string();
    gif_writer writer;
    EXPECT_TRUE(writer.open(out.path, {}, {width, height}, loop));
    writer.write_frames(frames, {}, {width, height}, 50);
    out.table = writer.global_table();
    writer.close();
    auto decoded = test::decode_with_giflib(test::read_file(out.path));
    EXPECT_TRUE(decoded);
    if (decoded)
        out.decoded = *decoded;
    return out;
}

// The number after the first occurrence of label in a program's output.
std::optional<int> number_after(const std::string& text, const std::string& label) {
    const auto at = text.find(label);
    if (at == std::string::npos)
        return std::nullopt;
    return std::atoi(text.c_str() + at + label.size());
}

// Compares RGBA frames, one after another, with what the indices say.
int mismatching_pixels(const written_file& file, const std::string& rgba) {
    std::size_t at = 0;
    int wrong = 0;
    for (const auto& frame : file.decoded.frames)
        for (const std::uint8_t index : frame.indices) {
            if (at + 4 > rgba.size())
                return wrong + 1;
            const auto* p = reinterpret_cast<const std::uint8_t*>(rgba.data() + at);
            at += 4;
            if (index == 255)
                wrong += p[3] != 0;
            else
                wrong += p[3] != 255 || p[0] != file.table[index * 3] ||
                         p[1] != file.table[index * 3 + 1] || p[2] != file.table[index * 3 + 2];
        }
    return wrong + (at != rgba.size());
}

TEST(encoder_viewers, imagemagick_sees_the_written_frames) {
    if (!have_tool("convert") || !have_tool("identify"))
        GTEST_SKIP() << "ImageMagick is not installed";
    for (const std::uint16_t loop : {0, 1, 5}) {
        const written_file file = write_animation(loop);
        ASSERT_EQ(file.decoded.frames.size(), 4u);
        EXPECT_EQ(mismatching_pixels(file, run("convert '" + file.path + "' rgba:-")), 0);
        EXPECT_EQ(run("identify -format '%T %D\\n' '" + file.path + "'"),
                  "50 Background\n50 Background\n50 Background\n50 Background\n");
        // ImageMagick shows a stored repeat count n > 0 as n + 1 iterations.
        const auto iterations =
            number_after(run("identify -verbose '" + file.path + "'"), "Iterations: ");
        EXPECT_EQ(iterations, loop == 1 ? std::nullopt : std::optional<int>(loop));
    }
}

TEST(encoder_viewers, ffmpeg_sees_the_written_frames) {
    if (!have_tool("ffmpeg") || !have_tool("ffprobe"))
        GTEST_SKIP() << "ffmpeg is not installed";
    for (const std::uint16_t loop : {0, 1, 5}) {
        const written_file file = write_animation(loop);
        ASSERT_EQ(file.decoded.frames.size(), 4u);
        EXPECT_EQ(mismatching_pixels(file, run("ffmpeg -v error -i '" + file.path +
                                               "' -fps_mode passthrough -f rawvideo "
                                               "-pix_fmt rgba -")),
                  0);
        EXPECT_EQ(run("ffprobe -v error -show_entries packet=duration_time -of csv=p=0 '" +
                      file.path + "'"),
                  "0.500000\n0.500000\n0.500000\n0.500000\n");
        const auto repeat = number_after(
            run("ffmpeg -v debug -i '" + file.path + "' -f null - 2>&1"), "Loop count is ");
        EXPECT_EQ(repeat, loop == 1 ? std::nullopt : std::optional<int>(loop == 0 ? 0 : loop - 1));
    }
}

} // namespace
} // namespace zoetra
