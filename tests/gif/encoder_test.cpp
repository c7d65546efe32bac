#include "gif/encoder.hpp"

#include "app/services/messages.hpp"
#include "encoder_support.hpp"

#include <cmath>
#include <memory>
#include <set>
#include <tuple>

namespace zoetra {
namespace {

using test::decode_with_giflib;
using test::noise;

constexpr pixel background = transparent_flag; // what a fresh frame holds

pixel rgb_pixel(int r, int g, int b) {
    return pixel(r) << 16 | pixel(g) << 8 | pixel(b);
}

// Frames owned by a test, with the raw pointers the writer takes.
struct frame_set {
    std::vector<std::unique_ptr<buffer>> owned;
    std::vector<buffer*> frames;

    buffer& add(int width, int height) {
        owned.push_back(std::make_unique<buffer>(std::uint16_t(width), std::uint16_t(height),
                                                 colour{1, 0, 0, 0}));
        frames.push_back(owned.back().get());
        return *owned.back();
    }
    std::span<buffer* const> span() const { return frames; }
};

template <class Paint> void paint(buffer& frame, Paint colour_at) {
    buffer_lock hold(frame);
    for (int y = 0; y < frame.height(); ++y)
        for (int x = 0; x < frame.width(); ++x)
            frame.pixels()[y * frame.width() + x] = colour_at(x, y);
}

// Photo-like content on a transparent background outside a moving blob.
frame_set animation(int frame_count, int width, int height) {
    frame_set set;
    for (int f = 0; f < frame_count; ++f) {
        noise grain(f + 1);
        paint(set.add(width, height), [&](int x, int y) {
            const double cx = width * (0.3 + 0.4 * f / std::max(frame_count - 1, 1));
            const double dx = x - cx, dy = y - height * 0.5;
            if (dx * dx + dy * dy > 0.16 * width * height)
                return background;
            const int n = grain.next(9) - 4;
            return rgb_pixel(std::clamp(x * 255 / width + n, 0, 255),
                             std::clamp(int(128 + 90 * std::sin((x + f * 7) * 0.06)), 0, 255),
                             std::clamp(y * 255 / height - n, 0, 255));
        });
    }
    return set;
}

struct saved {
    std::vector<std::uint8_t> bytes;
    std::uint32_t reported_size = 0;
    std::uint32_t estimate = 0;
    std::array<std::uint8_t, 768> table{};
};

// Saves the frames to a file and, with a second writer, estimates the size.
saved save(const frame_set& set, int width, int height, std::uint16_t loop, std::uint16_t delay,
           crop_origin origin = {}) {
    const auto path = test::scratch_directory() / "saved.gif";
    const crop_size size{std::uint16_t(width), std::uint16_t(height)};
    saved out;
    {
        gif_writer writer;
        EXPECT_TRUE(writer.open(path.string(), origin, size, loop));
        writer.write_frames(set.span(), origin, size, delay);
        out.table = writer.global_table();
        EXPECT_TRUE(writer.close());
        out.reported_size = writer.size();
    }
    gif_writer estimator;
    EXPECT_TRUE(estimator.open_for_estimate("temmmp.gif", origin, size, loop));
    estimator.estimate_frames(set.span(), origin, size, delay);
    estimator.close();
    out.estimate = estimator.size();
    out.bytes = test::read_file(path);
    return out;
}

std::tuple<int, int, int> table_colour(const std::array<std::uint8_t, 768>& table, int index) {
    return {table[index * 3], table[index * 3 + 1], table[index * 3 + 2]};
}

TEST(encoder, file_layout_is_byte_exact) {
    const frame_set set = animation(2, 20, 10);
    const saved file = save(set, 20, 10, 5, 50);
    const auto& b = file.bytes;
    ASSERT_GT(b.size(), 13u + 768 + 19);
    const std::vector<std::uint8_t> header(b.begin(), b.begin() + 13);
    EXPECT_EQ(header,
              (std::vector<std::uint8_t>{'G', 'I', 'F', '8', '9', 'a', 20, 0, 10, 0, 0xF7, 0, 0}));
    EXPECT_TRUE(std::equal(file.table.begin(), file.table.end(), b.begin() + 13));
    const std::uint8_t loop[19] = {0x21, 0xFF, 0x0B, 'N', 'E', 'T', 'S', 'C', 'A', 'P',
                                   'E',  '2',  '.',  '0', 3,   1,   4,   0,   0};
    EXPECT_TRUE(std::equal(std::begin(loop), std::end(loop), b.begin() + 13 + 768));
    std::size_t at = 13 + 768 + 19;
    for (int frame = 0; frame < 2; ++frame) {
        const std::vector<std::uint8_t> control(b.begin() + long(at), b.begin() + long(at) + 19);
        EXPECT_EQ(control, (std::vector<std::uint8_t>{0x21, 0xF9, 4, 0x09, 50, 0, 0xFF, 0, 0x2C, 0,
                                                      0, 0, 0, 20, 0, 10, 0, 0, 8}));
        at += 19;
        while (b[at] != 0) {
            EXPECT_LE(b[at], 254);
            at += b[at] + 1u;
        }
        ++at;
    }
    ASSERT_EQ(at + 1, b.size());
    EXPECT_EQ(b[at], 0x3B);
    EXPECT_EQ(file.reported_size, b.size());
}

TEST(encoder, loop_extension_follows_the_loop_count) {
    const frame_set set = animation(1, 8, 8);
    for (auto [loop, repeat] : {std::pair<int, int>{0, 0}, {5, 4}, {2, 1}, {65535, 65534}}) {
        const auto gif = decode_with_giflib(save(set, 8, 8, std::uint16_t(loop), 10).bytes);
        ASSERT_TRUE(gif);
        EXPECT_EQ(gif->repeat_count, repeat) << loop;
    }
    const saved once = save(set, 8, 8, 1, 10);
    const auto gif = decode_with_giflib(once.bytes);
    ASSERT_TRUE(gif);
    EXPECT_FALSE(gif->repeat_count);
    EXPECT_EQ(once.bytes[13 + 768], 0x21);
    EXPECT_EQ(once.bytes[13 + 768 + 1], 0xF9);
}

TEST(encoder, delay_setting_is_truncated_to_hundredths) {
    EXPECT_EQ(gif_delay_from_seconds(0.5), 50);
    EXPECT_EQ(gif_delay_from_seconds(0.29), 28); // 28.999... is not rounded up
    EXPECT_EQ(gif_delay_from_seconds(0.009), 0);
    EXPECT_EQ(gif_delay_from_seconds(-3), 0);
    EXPECT_EQ(gif_delay_from_seconds(1e9), 65535);
    EXPECT_EQ(gif_delay_from_seconds(std::nan("")), 0);
    EXPECT_EQ(gif_delay_from_seconds(INFINITY), 0);
}

// Colours at cell centres, at most 255 of them in all frames: every step of
// the reduction is exact, so each opaque pixel must come back as its colour.
TEST(encoder, giflib_reads_back_exact_colours_transparency_delay_and_disposal) {
    frame_set set;
    std::vector<pixel> colours;
    for (int k = 0; k < 120; ++k)
        colours.push_back(
            rgb_pixel((k * 5 % 32) * 8 + 4, (k * 11 % 64) * 4 + 2, (k * 3 % 32) * 8 + 4));
    for (int f = 0; f < 3; ++f)
        paint(set.add(37, 23), [&](int x, int y) {
            if ((x + y + f) % 7 == 0)
                return background;
            return colours[(x / 3 + y * 5) % 60 + f * 30]; // overlapping subsets
        });
    const saved file = save(set, 37, 23, 0, gif_delay_from_seconds(0.5));
    const auto gif = decode_with_giflib(file.bytes);
    ASSERT_TRUE(gif);
    EXPECT_EQ(std::make_pair(gif->width, gif->height), std::make_pair(37, 23));
    EXPECT_EQ(gif->background, 0);
    ASSERT_EQ(gif->global_table.size(), 768u);
    EXPECT_TRUE(std::equal(file.table.begin(), file.table.end(), gif->global_table.begin()));
    ASSERT_EQ(gif->frames.size(), 3u);
    for (int f = 0; f < 3; ++f) {
        const auto& frame = gif->frames[f];
        EXPECT_EQ(std::make_tuple(frame.left, frame.top, frame.width, frame.height),
                  std::make_tuple(0, 0, 37, 23));
        EXPECT_EQ(frame.delay, 50);
        EXPECT_EQ(frame.disposal, DISPOSE_BACKGROUND);
        EXPECT_EQ(frame.transparent_index, 255);
        buffer_lock hold(*set.frames[f]);
        int wrong = 0;
        for (int i = 0; i < 37 * 23; ++i) {
            const pixel source = set.frames[f]->pixels()[i];
            const int index = frame.indices[i];
            if (source & transparent_flag)
                wrong += index != 255;
            else
                wrong += index == 255 ||
                         table_colour(file.table, index) != std::make_tuple(int(source >> 16),
                                                                            int(source >> 8 & 0xFF),
                                                                            int(source & 0xFF));
        }
        EXPECT_EQ(wrong, 0) << "frame " << f;
    }
}

TEST(encoder, fully_transparent_frame_is_all_index_255) {
    frame_set set = animation(2, 30, 20);
    set.add(30, 20); // untouched: background everywhere
    const auto gif = decode_with_giflib(save(set, 30, 20, 0, 10).bytes);
    ASSERT_TRUE(gif);
    ASSERT_EQ(gif->frames.size(), 3u);
    EXPECT_EQ(std::count(gif->frames[2].indices.begin(), gif->frames[2].indices.end(), 255),
              30 * 20);
}

double psnr_of_opaque_pixels(const frame_set& set, const test::decoded_gif& gif,
                             const std::array<std::uint8_t, 768>& table) {
    double squared = 0;
    std::size_t samples = 0;
    for (std::size_t f = 0; f < set.frames.size(); ++f) {
        buffer_lock hold(*set.frames[f]);
        const pixel* pixels = set.frames[f]->pixels();
        for (std::size_t i = 0; i < gif.frames[f].indices.size(); ++i) {
            if (pixels[i] & transparent_flag)
                continue;
            const auto [r, g, b] = table_colour(table, gif.frames[f].indices[i]);
            const double dr = r - int(pixels[i] >> 16 & 0xFF), dg = g - int(pixels[i] >> 8 & 0xFF),
                         db = b - int(pixels[i] & 0xFF);
            squared += dr * dr + dg * dg + db * db;
            samples += 3;
        }
    }
    return 10 * std::log10(255.0 * 255.0 / (squared / double(samples)));
}

TEST(encoder, photo_frames_keep_transparency_and_their_colours) {
    const frame_set set = animation(6, 120, 80);
    const saved file = save(set, 120, 80, 0, 7);
    const auto gif = decode_with_giflib(file.bytes);
    ASSERT_TRUE(gif);
    ASSERT_EQ(gif->frames.size(), 6u);
    for (std::size_t f = 0; f < 6; ++f) {
        buffer_lock hold(*set.frames[f]);
        for (std::size_t i = 0; i < 120 * 80; ++i)
            ASSERT_EQ((set.frames[f]->pixels()[i] & transparent_flag) != 0,
                      gif->frames[f].indices[i] == 255)
                << "frame " << f << " pixel " << i;
    }
    // A wrong translation to the global table scores about 10 dB.
    EXPECT_GT(psnr_of_opaque_pixels(set, *gif, file.table), 22.0);
}

TEST(encoder, estimate_equals_the_saved_length) {
    struct setup {
        int frames, width, height;
        std::uint16_t loop, delay;
        crop_origin origin;
    };
    for (const setup& s : {setup{1, 1, 1, 0, 0, {}}, setup{3, 64, 48, 1, 50, {}},
                           setup{5, 200, 150, 5, 7, {}}, setup{2, 90, 70, 0, 100, {10, 5}},
                           setup{0, 16, 16, 0, 10, {}}, setup{4, 333, 17, 2, 65535, {}}}) {
        const frame_set set = animation(s.frames, s.width, s.height);
        const int w = s.width - s.origin.x, h = s.height - s.origin.y;
        const saved file = save(set, w, h, s.loop, s.delay, s.origin);
        EXPECT_EQ(file.estimate, file.bytes.size()) << s.frames << " x " << w << "x" << h;
        EXPECT_EQ(file.reported_size, file.bytes.size());
    }
}

TEST(encoder, crop_rectangle_is_what_gets_written) {
    frame_set set;
    paint(set.add(40, 30), [](int x, int y) {
        return x >= 10 && x < 30 && y >= 5 && y < 25 ? rgb_pixel(252, 2, 4) : rgb_pixel(4, 2, 252);
    });
    const saved file = save(set, 20, 20, 0, 10, {10, 5});
    const auto gif = decode_with_giflib(file.bytes);
    ASSERT_TRUE(gif);
    EXPECT_EQ(std::make_pair(gif->width, gif->height), std::make_pair(20, 20));
    for (const std::uint8_t index : gif->frames[0].indices)
        ASSERT_EQ(table_colour(file.table, index), std::make_tuple(252, 2, 4));
}

class status_recorder : public shell {
  public:
    std::vector<std::string> lines;
    void show_status(const std::string& text) override { lines.push_back(text); }
    void present_area(const rect&) override {}
    void settings_changed() override {}
};

TEST(encoder, progress_lines_come_in_frame_order) {
    status_recorder recorder;
    install_shell(&recorder);
    const frame_set set = animation(3, 10, 10);
    save(set, 10, 10, 0, 50);
    install_shell(nullptr);
    EXPECT_EQ(recorder.lines,
              (std::vector<std::string>{
                  "Saving gif89 frame 1 of 3 with delay of 0.50 seconds between frames.\n",
                  "Saving gif89 frame 2 of 3 with delay of 0.50 seconds between frames.\n",
                  "Saving gif89 frame 3 of 3 with delay of 0.50 seconds between frames.\n",
                  "Estimating gif89 frame 1 of 3.", "Estimating gif89 frame 2 of 3.",
                  "Estimating gif89 frame 3 of 3."}));
}

TEST(encoder, open_fails_without_writing_when_the_file_cannot_be_created) {
    const auto path = test::scratch_directory() / "no-such-directory" / "x.gif";
    gif_writer writer;
    EXPECT_FALSE(writer.open(path.string(), {}, {10, 10}, 0));
    EXPECT_FALSE(writer.is_open());
    EXPECT_FALSE(std::filesystem::exists(path));
    // The writer stays usable.
    EXPECT_TRUE(writer.open_for_estimate("temmmp.gif", {}, {10, 10}, 1));
    writer.close();
    EXPECT_EQ(writer.size(), 13u + 1);
}

} // namespace
} // namespace zoetra
