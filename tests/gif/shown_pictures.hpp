#pragma once
// Animations written by the writer in memory, and the pictures a viewer
// composes from a file: with the project's reader, and with giflib's indices
// and tables composed here as a viewer composes them.
#include "gif_support.hpp"

#include "gif/decoder.hpp"
#include "gif/encoder.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <vector>

namespace zoetra::test {

using shown_picture = std::vector<pixel>; // composed: rgb, or transparent_flag alone
inline constexpr pixel clear = transparent_flag;

// Frames of one size.
struct animation : frame_set {
    int width = 0, height = 0;

    animation(int w, int h) : width(w), height(h) {}
    void add(const std::function<pixel(int, int)>& colour_at) {
        frame_set::add(width, height, colour_at);
    }
    shown_picture source(std::size_t i) const {
        shown_picture out = pixels_of(*frames[i]);
        for (pixel& p : out)
            p = (p & transparent_flag) ? clear : p & 0xFFFFFF;
        return out;
    }
};

struct written {
    bytes file;
    std::uint32_t estimate = 0;
};

inline written write(const animation& a, gif_encode_options options, bool helper = true,
                     std::uint16_t loop = 0) {
    const crop_size size{std::uint16_t(a.width), std::uint16_t(a.height)};
    written out;
    gif_writer writer, estimator;
    for (gif_writer* w : {&writer, &estimator}) {
        w->set_options(options);
        w->set_helper_thread(helper);
    }
    EXPECT_TRUE(writer.open_in_memory({}, size, loop));
    writer.write_frames(a.frames, {}, size, 10);
    EXPECT_TRUE(writer.close());
    out.file = writer.memory_file();
    EXPECT_TRUE(estimator.open_for_estimate("temmmp.gif", {}, size, loop));
    estimator.estimate_frames(a.frames, {}, size, 10);
    EXPECT_TRUE(estimator.close());
    out.estimate = estimator.size();
    return out;
}

inline const gif_encode_options optimized{colour_mode::standard, true};
inline const gif_encode_options fine{colour_mode::fine, false};

// The frames as the project's reader composes them.
inline std::vector<shown_picture> read_with_reader(const bytes& file) {
    gif_reader reader;
    EXPECT_TRUE(reader.open_bytes(file.data(), file.size()));
    std::vector<shown_picture> out;
    while (auto frame = reader.read_frame()) {
        out.push_back(pixels_of(*frame));
        for (pixel& p : out.back())
            p = (p & transparent_flag) ? clear : p & 0xFFFFFF;
    }
    EXPECT_EQ(reader.failure(), "");
    return out;
}

// giflib's indices and tables, composed here as a viewer does (giflib
// composes nothing): disposal 2 clears the frame's rectangle to transparent.
inline std::vector<shown_picture> read_with_giflib(const bytes& file) {
    std::optional<giflib_file> gif = giflib_decode(file);
    EXPECT_TRUE(gif);
    std::vector<shown_picture> out;
    if (!gif)
        return out;
    shown_picture canvas(std::size_t(gif->width) * gif->height, clear);
    for (const giflib_frame& f : gif->frames) {
        const bytes& table = f.local_table.empty() ? gif->global_table : f.local_table;
        for (int y = 0; y < f.height; ++y)
            for (int x = 0; x < f.width; ++x) {
                const int index = f.indices[std::size_t(y) * f.width + x];
                if (index == f.transparent_index)
                    continue;
                EXPECT_LT(std::size_t(index) * 3, table.size());
                canvas[std::size_t(f.top + y) * gif->width + f.left + x] =
                    pixel(table[index * 3]) << 16 | pixel(table[index * 3 + 1]) << 8 |
                    table[index * 3 + 2];
            }
        out.push_back(canvas);
        if (f.disposal == DISPOSE_BACKGROUND)
            for (int y = f.top; y < f.top + f.height; ++y)
                std::fill_n(canvas.begin() + std::ptrdiff_t(y) * gif->width + f.left, f.width,
                            clear);
    }
    return out;
}

// Both readers see the same pictures in the file; returns them.
inline std::vector<shown_picture> shown(const bytes& file) {
    std::vector<shown_picture> mine = read_with_reader(file);
    EXPECT_EQ(mine, read_with_giflib(file));
    return mine;
}

} // namespace zoetra::test
