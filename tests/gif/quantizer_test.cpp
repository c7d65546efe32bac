#include "gif/quantizer.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <jpeglib.h>
#include <set>
#include <tuple>
#include <vector>

namespace zoetra {
namespace {

struct rgb_image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;

    rgb_image(int w, int h) : width(w), height(h), rgb(std::size_t(w) * h * 3) {}
    void set(int x, int y, int r, int g, int b) {
        std::uint8_t* p = &rgb[(std::size_t(y) * width + x) * 3];
        p[0] = std::uint8_t(r);
        p[1] = std::uint8_t(g);
        p[2] = std::uint8_t(b);
    }
};

struct reduction {
    int colour_count = 0;
    std::vector<std::uint8_t> red, green, blue; // colour_count entries each
    std::vector<std::uint8_t> indices;
};

reduction reduce(const rgb_image& image, int wanted = 255) {
    colour_quantizer quantizer;
    reduction out;
    out.indices.assign(image.rgb.size() / 3, 0);
    std::uint8_t red[256] = {}, green[256] = {}, blue[256] = {};
    EXPECT_EQ(quantizer.reduce(image.rgb.data(), image.width, image.height, out.indices.data(), red,
                               green, blue, wanted),
              0);
    out.colour_count = quantizer.colour_count();
    out.red.assign(red, red + out.colour_count);
    out.green.assign(green, green + out.colour_count);
    out.blue.assign(blue, blue + out.colour_count);
    return out;
}

// A cheap deterministic noise source, so images are the same on every run.
class noise {
  public:
    int next(int range) {
        state_ = state_ * 1103515245u + 12345u;
        return int((state_ >> 16) % unsigned(range));
    }

  private:
    std::uint32_t state_ = 12345;
};

// Gradients, ripples, shaded discs and grain: many occupied cells, smooth
// areas and sharp edges.
rgb_image photo_like(int width, int height) {
    rgb_image image(width, height);
    noise grain;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            double r = 255.0 * x / width;
            double g = 128 + 100 * std::sin(x * 0.05) * std::cos(y * 0.07);
            double b = 255.0 * y / height;
            const double dx = x - width * 0.6, dy = y - height * 0.4;
            const double d = std::sqrt(dx * dx + dy * dy);
            if (d < height * 0.25) {
                const double shade = 1 - d / (height * 0.25);
                r = 240 * shade;
                g = 200 * shade + 20;
                b = 60 * shade;
            }
            const int n = grain.next(17) - 8;
            image.set(x, y, std::clamp(int(r) + n, 0, 255), std::clamp(int(g) + n, 0, 255),
                      std::clamp(int(b) - n, 0, 255));
        }
    return image;
}

rgb_image random_noise(int width, int height) {
    rgb_image image(width, height);
    noise source;
    for (auto& sample : image.rgb)
        sample = std::uint8_t(source.next(256));
    return image;
}

// Flat 8 x 8 tiles of a few colours: every JPEG block decodes to one value.
rgb_image flat_tiles(int width, int height, int colours) {
    rgb_image image(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int k = ((x / 8) * 7 + (y / 8) * 3) % colours;
            image.set(x, y, (k * 53) % 256, (k * 101) % 256, (k * 29 + 40) % 256);
        }
    return image;
}

// One flat colour in 65,600 pixels (whole JPEG blocks, so they decode to one
// value), the rest noise around it: the crowded cell shares its box with
// sparsely filled neighbours, so its count weighs on the box colour, and a
// count that wrapped would leave it with 64.
rgb_image crowded_cell() {
    rgb_image image(512, 160);
    noise source;
    for (int y = 0; y < 160; ++y)
        for (int x = 0; x < 512; ++x) {
            if (y < 128 || (y < 136 && x < 8))
                image.set(x, y, 120, 130, 140);
            else
                image.set(x, y, 80 + source.next(81), 90 + source.next(81), 100 + source.next(81));
        }
    return image;
}

// The two-pass quantizer of the JPEG library implements the same published
// method. Both sides get identical RGB: the image is compressed once to an
// in-memory JPEG with no chroma subsampling and decoded twice, once plainly
// (our input) and once through the library's quantizer. Without subsampling
// the library's upsampling is a plain copy, so both decodes run the same
// inverse transform and colour conversion.
class jpeg_reference {
  public:
    explicit jpeg_reference(const rgb_image& image) {
        jpeg_compress_struct c;
        jpeg_error_mgr e;
        c.err = jpeg_std_error(&e);
        jpeg_create_compress(&c);
        unsigned char* bytes = nullptr;
        unsigned long length = 0;
        jpeg_mem_dest(&c, &bytes, &length);
        c.image_width = JDIMENSION(image.width);
        c.image_height = JDIMENSION(image.height);
        c.input_components = 3;
        c.in_color_space = JCS_RGB;
        jpeg_set_defaults(&c);
        jpeg_set_quality(&c, 95, TRUE);
        for (int i = 0; i < c.num_components; ++i)
            c.comp_info[i].h_samp_factor = c.comp_info[i].v_samp_factor = 1;
        jpeg_start_compress(&c, TRUE);
        while (c.next_scanline < c.image_height) {
            JSAMPROW row = const_cast<JSAMPROW>(
                &image.rgb[std::size_t(c.next_scanline) * std::size_t(image.width) * 3]);
            jpeg_write_scanlines(&c, &row, 1);
        }
        jpeg_finish_compress(&c);
        jpeg_destroy_compress(&c);
        jpeg_.assign(bytes, bytes + length);
        std::free(bytes);
    }

    rgb_image plain_decode() const {
        rgb_image out(0, 0);
        decode(false, [&](jpeg_decompress_struct& d) {
            out = rgb_image(int(d.output_width), int(d.output_height));
            return out.rgb.data();
        });
        return out;
    }

    reduction quantized_decode() const {
        reduction out;
        decode(true, [&](jpeg_decompress_struct& d) {
            out.indices.resize(std::size_t(d.output_width) * d.output_height);
            return out.indices.data();
        });
        out.colour_count = colour_count_;
        out.red.assign(colormap_[0].begin(), colormap_[0].begin() + colour_count_);
        out.green.assign(colormap_[1].begin(), colormap_[1].begin() + colour_count_);
        out.blue.assign(colormap_[2].begin(), colormap_[2].begin() + colour_count_);
        return out;
    }

  private:
    template <class Target> void decode(bool quantize, Target target) const {
        jpeg_decompress_struct d;
        jpeg_error_mgr e;
        d.err = jpeg_std_error(&e);
        jpeg_create_decompress(&d);
        jpeg_mem_src(&d, jpeg_.data(), static_cast<unsigned long>(jpeg_.size()));
        jpeg_read_header(&d, TRUE);
        d.out_color_space = JCS_RGB;
        d.do_fancy_upsampling = FALSE;
        if (quantize) {
            d.quantize_colors = TRUE;
            d.two_pass_quantize = TRUE;
            d.dither_mode = JDITHER_FS;
            d.desired_number_of_colors = 255;
        }
        jpeg_start_decompress(&d);
        std::uint8_t* out = target(d);
        const std::size_t stride = std::size_t(d.output_width) * std::size_t(d.output_components);
        while (d.output_scanline < d.output_height) {
            JSAMPROW row = out + std::size_t(d.output_scanline) * stride;
            jpeg_read_scanlines(&d, &row, 1);
        }
        if (quantize) {
            colour_count_ = d.actual_number_of_colors;
            for (int ch = 0; ch < 3; ++ch)
                for (int i = 0; i < colour_count_; ++i)
                    colormap_[ch][i] = d.colormap[ch][i];
        }
        jpeg_finish_decompress(&d);
        jpeg_destroy_decompress(&d);
    }

    std::vector<unsigned char> jpeg_;
    mutable int colour_count_ = 0;
    mutable std::array<std::array<std::uint8_t, 256>, 3> colormap_{};
};

int occupied_cells(const rgb_image& image) {
    std::set<std::tuple<int, int, int>> cells;
    for (std::size_t i = 0; i < image.rgb.size(); i += 3)
        cells.insert({image.rgb[i] >> 3, image.rgb[i + 1] >> 2, image.rgb[i + 2] >> 3});
    return int(cells.size());
}

struct reference_case {
    const char* name;
    rgb_image (*make)();
};

class quantizer_reference : public testing::TestWithParam<reference_case> {};

TEST_P(quantizer_reference, palette_and_indices_match_the_jpeg_library) {
    const jpeg_reference reference(GetParam().make());
    const rgb_image decoded = reference.plain_decode();
    const reduction expected = reference.quantized_decode();
    const reduction ours = reduce(decoded);

    ASSERT_EQ(ours.colour_count, expected.colour_count);
    EXPECT_EQ(ours.red, expected.red);
    EXPECT_EQ(ours.green, expected.green);
    EXPECT_EQ(ours.blue, expected.blue);
    ASSERT_EQ(ours.indices.size(), expected.indices.size());
    std::size_t differing = 0;
    for (std::size_t i = 0; i < ours.indices.size(); ++i)
        differing += ours.indices[i] != expected.indices[i];
    EXPECT_EQ(differing, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    images, quantizer_reference,
    testing::Values(reference_case{"photo", [] { return photo_like(320, 240); }},
                    reference_case{"photo_odd_size", [] { return photo_like(317, 203); }},
                    // Errors far beyond the damping limit on almost every pixel.
                    reference_case{"noise", [] { return random_noise(160, 120); }},
                    reference_case{"single_colour",
                                   [] {
                                       rgb_image image(64, 48);
                                       for (int y = 0; y < 48; ++y)
                                           for (int x = 0; x < 64; ++x)
                                               image.set(x, y, 100, 100, 100);
                                       return image;
                                   }},
                    reference_case{"fewer_cells_than_colours",
                                   [] { return flat_tiles(96, 80, 23); }},
                    reference_case{"crowded_cell", crowded_cell}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(quantizer, fixtures_cover_what_they_claim) {
    EXPECT_LT(occupied_cells(jpeg_reference(flat_tiles(96, 80, 23)).plain_decode()), 255);
    EXPECT_GT(occupied_cells(photo_like(320, 240)), 1000);
    const rgb_image crowded = jpeg_reference(crowded_cell()).plain_decode();
    std::size_t in_flat_cell = 0;
    for (std::size_t i = 0; i < crowded.rgb.size(); i += 3)
        in_flat_cell += (crowded.rgb[i] >> 3) == (120 >> 3) &&
                        (crowded.rgb[i + 1] >> 2) == (130 >> 2) &&
                        (crowded.rgb[i + 2] >> 3) == (140 >> 3);
    EXPECT_GT(in_flat_cell, 65535u);
    EXPECT_LT(in_flat_cell, 65536u + 1000);
}

TEST(quantizer, single_colour_becomes_the_centre_of_its_cell) {
    rgb_image image(13, 7);
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 13; ++x)
            image.set(x, y, 100, 100, 100);
    const reduction out = reduce(image);
    ASSERT_EQ(out.colour_count, 1);
    EXPECT_EQ(std::make_tuple(out.red[0], out.green[0], out.blue[0]),
              std::make_tuple(100, 102, 100));
    EXPECT_EQ(std::count(out.indices.begin(), out.indices.end(), 0), 13 * 7);
}

TEST(quantizer, few_occupied_cells_give_one_entry_per_cell_at_its_centre) {
    const rgb_image image = flat_tiles(40, 40, 9);
    const reduction out = reduce(image);
    std::set<std::tuple<int, int, int>> centres, palette;
    for (std::size_t i = 0; i < image.rgb.size(); i += 3)
        centres.insert({(image.rgb[i] >> 3) * 8 + 4, (image.rgb[i + 1] >> 2) * 4 + 2,
                        (image.rgb[i + 2] >> 3) * 8 + 4});
    for (int i = 0; i < out.colour_count; ++i)
        palette.insert({out.red[i], out.green[i], out.blue[i]});
    EXPECT_EQ(out.colour_count, int(centres.size()));
    EXPECT_EQ(palette, centres);
}

TEST(quantizer, cell_counts_stick_at_65535) {
    // 200,000 pixels in the cell of (0,0,0) and 30,000 in the cell of (8,0,0):
    // one colour for both, weighted by the counts 65535 and 30000. A true
    // count would give red 5; a wrapped one 11.
    rgb_image image(1000, 230);
    for (int i = 0; i < 230000; ++i)
        image.set(i % 1000, i / 1000, i < 200000 ? 0 : 8, 0, 0);
    const reduction out = reduce(image, 1);
    ASSERT_EQ(out.colour_count, 1);
    EXPECT_EQ(std::make_tuple(out.red[0], out.green[0], out.blue[0]), std::make_tuple(7, 2, 4));
}

// Two-colour palette near black (4,2,4) and near white (252,254,252), fixed by
// plenty of black and white pixels in the rows below the rows under test
// (errors only travel right/left and down, never up). For grey values the two
// are equally far at 128.
rgb_image black_and_white_below(int width, int height) {
    rgb_image image(width, height);
    for (int y = 2; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int v = (x + y) % 2 ? 255 : 0;
            image.set(x, y, v, v, v);
        }
    return image;
}

TEST(quantizer, large_errors_are_damped_to_32) {
    rgb_image image = black_and_white_below(100, 100);
    // Grey 120 maps to black with error 116; the next pixel receives 7/16 of
    // it, 51, damped to 32. Grey 95 then becomes 127, whose cell (centre 124)
    // is nearer black; undamped it would become 146, nearer white.
    image.set(0, 0, 120, 120, 120);
    image.set(1, 0, 95, 95, 95);
    const reduction out = reduce(image, 2);
    ASSERT_EQ(out.colour_count, 2);
    ASSERT_EQ(std::make_tuple(out.red[0], out.red[1]), std::make_tuple(4, 252));
    EXPECT_EQ(out.indices[0], 0);
    EXPECT_EQ(out.indices[1], 0);
    // Exactly 32: grey 96 becomes 128, whose cell (centre 132) is nearer white.
    image.set(1, 0, 96, 96, 96);
    EXPECT_EQ(reduce(image, 2).indices[1], 1);
}

TEST(quantizer, first_row_runs_left_to_right_and_second_right_to_left) {
    // Each of the first two rows holds the greys 120, 95 side by side among
    // black. Whichever comes first maps to black and pushes its error into
    // the other: 95 pushed by 120 stays black, 120 pushed by 95 turns white.
    rgb_image image = black_and_white_below(50, 100);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 50; ++x)
            image.set(x, y, 0, 0, 0);
    image.set(10, 0, 120, 120, 120);
    image.set(11, 0, 95, 95, 95);
    image.set(40, 1, 120, 120, 120);
    image.set(41, 1, 95, 95, 95);
    const reduction out = reduce(image, 2);
    ASSERT_EQ(out.red[0], 4);
    EXPECT_EQ(out.indices[10], 0);
    EXPECT_EQ(out.indices[11], 0);
    EXPECT_EQ(out.indices[50 + 41], 0);
    EXPECT_EQ(out.indices[50 + 40], 1);
}

TEST(quantizer, refuses_unusable_requests) {
    colour_quantizer quantizer;
    std::uint8_t rgb[3] = {1, 2, 3}, index = 7, r[256], g[256], b[256];
    EXPECT_EQ(quantizer.reduce(rgb, 1, 1, &index, r, g, b, 0), 1);
    EXPECT_EQ(quantizer.reduce(rgb, 1, 1, &index, r, g, b, 257), 1);
    EXPECT_EQ(quantizer.reduce(rgb, 0, 5, &index, r, g, b, 255), 0);
    EXPECT_EQ(quantizer.colour_count(), 0);
    EXPECT_EQ(index, 7);
    // The process-wide reduction gives the same answer as a private one.
    EXPECT_EQ(reduce_colours(rgb, 1, 1, &index, r, g, b, 255), 0);
    EXPECT_EQ(index, 0);
    EXPECT_EQ(std::make_tuple(r[0], g[0], b[0]), std::make_tuple(4, 2, 4));
}

} // namespace
} // namespace zoetra
