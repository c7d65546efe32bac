#pragma once
// Animated GIFs for tests: solid frames, one colour each, with their delays,
// written by the program's own writer; and the colour the animation reader
// gives each frame of a file, to compare what was made from it.
#include "gif/animation_reader.hpp"
#include "gif/encoder.hpp"
#include "raster/draw.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace zoetra::testing {

inline std::string write_animation(const std::string& path, std::uint16_t width,
                                   std::uint16_t height, const std::vector<colour>& colours,
                                   const std::vector<std::uint16_t>& delays) {
    std::vector<std::unique_ptr<buffer>> images;
    std::vector<buffer*> frames;
    for (const colour& c : colours) {
        images.push_back(std::make_unique<buffer>(width, height, c));
        buffer& frame = *images.back();
        buffer_lock hold(frame);
        draw_rectangle(frame, 0, 0, width, height, c, true, c); // filled is transparent
        frames.push_back(&frame);
    }
    gif_writer writer;
    const crop_size size{width, height};
    EXPECT_TRUE(writer.open(path, crop_origin{}, size, 0));
    writer.write_frames(frames, crop_origin{}, size, delays);
    EXPECT_TRUE(writer.close());
    return path;
}

// The middle pixel of every frame of the file, and the delays, as read back.
struct frames_read {
    std::vector<pixel> middles;
    std::vector<std::uint16_t> delays;
};

inline frames_read read_frames(const std::string& path) {
    frames_read out;
    result<animation> read = read_animation(path);
    if (!read) {
        ADD_FAILURE() << read.message();
        return out;
    }
    for (animation_frame& frame : read.value().frames) {
        buffer_lock hold(*frame.picture);
        const buffer& b = *frame.picture;
        out.middles.push_back(b.pixels()[std::size_t(b.height() / 2) * b.width() + b.width() / 2]);
        out.delays.push_back(frame.delay);
    }
    return out;
}

} // namespace zoetra::testing
