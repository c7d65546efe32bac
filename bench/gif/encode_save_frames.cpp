// Saves an animation made by the peer benchmarks' frame generator, so that a
// whole save can be timed beside other encoders with the same input:
//
//   gif_save_frames [--colours fine] [--optimize] FRAMES_DIR OUT.gif [DELAY_SECONDS [LOOP]]
//
// FRAMES_DIR holds info.txt ("width height frames ..."), frames.rgb (raw RGB
// of all frames) and frames.mask (one byte per pixel, 0 = transparent).
// With OUT.gif "-" the size is estimated and printed instead. With
// ZOETRA_ONE_THREAD=1 the writer's helper thread stays off (same bytes), so
// that the time of one core can be measured.
#include "gif/encoder.hpp"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

bool read_all(const std::string& path, std::vector<std::uint8_t>& bytes, std::size_t expected) {
    std::ifstream in(path, std::ios::binary);
    bytes.resize(expected);
    return in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(expected)) &&
           std::size_t(in.gcount()) == expected;
}

} // namespace

int main(int argc, char** argv) {
    zoetra::gif_encode_options options;
    const char* program = argv[0];
    for (; argc > 1 && argv[1][0] == '-' && argv[1][1] == '-'; --argc, ++argv) {
        const std::string option = argv[1];
        if (option == "--optimize") {
            options.optimize = true;
        } else if (option == "--colours" && argc > 2 && std::string(argv[2]) == "fine") {
            options.colours = zoetra::colour_mode::fine;
            --argc, ++argv;
        } else if (option == "--colours" && argc > 2 && std::string(argv[2]) == "standard") {
            --argc, ++argv;
        } else {
            argc = 0;
            break;
        }
    }
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: %s [--colours fine] [--optimize] FRAMES_DIR OUT.gif "
                     "[DELAY_SECONDS [LOOP]]\n",
                     program);
        return 2;
    }
    const std::string dir = argv[1], out = argv[2];
    const double delay = argc > 3 ? std::atof(argv[3]) : 0.5;
    const int loop = argc > 4 ? std::atoi(argv[4]) : 0;

    int width = 0, height = 0, count = 0;
    std::ifstream info(dir + "/info.txt");
    if (!(info >> width >> height >> count) || width <= 0 || height <= 0 || count <= 0 ||
        width > 65535 || height > 65535) {
        std::fprintf(stderr, "%s/info.txt: expected \"width height frames\"\n", dir.c_str());
        return 1;
    }
    const std::size_t frame_pixels = std::size_t(width) * height;
    std::vector<std::uint8_t> rgb, mask;
    if (!read_all(dir + "/frames.rgb", rgb, frame_pixels * 3 * count) ||
        !read_all(dir + "/frames.mask", mask, frame_pixels * count)) {
        std::fprintf(stderr, "%s: frames.rgb / frames.mask missing or short\n", dir.c_str());
        return 1;
    }

    std::vector<std::unique_ptr<zoetra::buffer>> owned;
    std::vector<zoetra::buffer*> frames;
    for (int f = 0; f < count; ++f) {
        owned.push_back(std::make_unique<zoetra::buffer>(
            std::uint16_t(width), std::uint16_t(height), zoetra::colour{1, 0, 0, 0}));
        zoetra::buffer_lock hold(*owned.back());
        zoetra::pixel* pixels = owned.back()->pixels();
        const std::uint8_t* source = rgb.data() + frame_pixels * 3 * f;
        const std::uint8_t* opaque = mask.data() + frame_pixels * f;
        for (std::size_t i = 0; i < frame_pixels; ++i, source += 3)
            pixels[i] = (opaque[i] ? 0 : zoetra::transparent_flag) |
                        zoetra::pixel(source[0]) << 16 | zoetra::pixel(source[1]) << 8 | source[2];
        frames.push_back(owned.back().get());
    }

    const zoetra::crop_size size{std::uint16_t(width), std::uint16_t(height)};
    const auto loop_count = std::uint16_t(std::clamp(loop, 0, 65535));
    zoetra::gif_writer writer;
    writer.set_options(options);
    if (const char* one = std::getenv("ZOETRA_ONE_THREAD"); one != nullptr && *one == '1')
        writer.set_helper_thread(false);
    if (out == "-") {
        static_cast<void>(writer.open_for_estimate("temmmp.gif", {}, size, loop_count));
        writer.estimate_frames(frames, {}, size, zoetra::gif_delay_from_seconds(delay));
        static_cast<void>(writer.close()); // nothing is written
        std::printf("%u\n", writer.size());
        return 0;
    }
    if (zoetra::outcome opened = writer.open(out, {}, size, loop_count); !opened) {
        std::fprintf(stderr, "%s\n", opened.message().c_str());
        return 1;
    }
    writer.write_frames(frames, {}, size, zoetra::gif_delay_from_seconds(delay));
    if (zoetra::outcome closed = writer.close(); !closed) {
        std::fprintf(stderr, "%s\n", closed.message().c_str());
        return 1;
    }
    return 0;
}
