// Colour reduction against the JPEG library's two-pass quantizer, which
// implements the same published method: the same palettes and dithered
// indices on photos, noise (errors far beyond the damping limit, rows run in
// turn right and left), few colours and a cell of over 65,535 pixels.
#include "gif_support.hpp"

#include "gif/quantizer.hpp"

#include <gtest/gtest.h>

#include <jpeglib.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <random>
#include <tuple>

namespace zoetra::test {
namespace {

struct rgb_image {
    int width = 0, height = 0;
    bytes rgb;

    rgb_image(int w, int h, int r = 0, int g = 0, int b = 0) : width(w), height(h) {
        for (int i = 0; i < w * h; ++i)
            rgb.insert(rgb.end(), {std::uint8_t(r), std::uint8_t(g), std::uint8_t(b)});
    }
    void set(int x, int y, int r, int g, int b) {
        const std::size_t at = (std::size_t(y) * width + x) * 3;
        std::tie(rgb[at], rgb[at + 1], rgb[at + 2]) = std::tuple(r, g, b);
    }
};

struct reduction {
    std::array<bytes, 3> palette; // red, green and blue of each colour
    bytes indices;
};

reduction reduce(const rgb_image& image) {
    colour_quantizer quantizer;
    reduction out{{}, bytes(image.rgb.size() / 3)};
    std::uint8_t map[3][256] = {};
    EXPECT_EQ(quantizer.reduce(image.rgb.data(), image.width, image.height, out.indices.data(),
                               map[0], map[1], map[2], 255),
              0);
    for (int c = 0; c < 3; ++c)
        out.palette[c].assign(map[c], map[c] + quantizer.colour_count());
    return out;
}

// Gradients, ripples, a shaded disc and grain: many occupied cells, smooth
// areas and sharp edges.
rgb_image photo_like(int width, int height) {
    rgb_image image(width, height);
    std::mt19937 grain(1);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            double r = 255.0 * x / width, b = 255.0 * y / height;
            double g = 128 + 100 * std::sin(x * 0.05) * std::cos(y * 0.07);
            const double d = std::hypot(x - width * 0.6, y - height * 0.4) / (height * 0.25);
            if (d < 1) {
                r = 240 * (1 - d);
                g = 200 * (1 - d) + 20;
                b = 60 * (1 - d);
            }
            const int n = int(grain() % 17) - 8;
            image.set(x, y, std::clamp(int(r) + n, 0, 255), std::clamp(int(g) + n, 0, 255),
                      std::clamp(int(b) - n, 0, 255));
        }
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

// One flat colour in 65,600 pixels (whole JPEG blocks), noise around it: the
// crowded cell shares its box with sparse neighbours, so its count weighs on
// the box colour, and a count that wrapped would leave it with 64.
rgb_image crowded_cell() {
    rgb_image image(512, 160, 120, 130, 140);
    std::mt19937 source(1);
    for (int y = 128; y < 160; ++y)
        for (int x = y < 136 ? 8 : 0; x < 512; ++x)
            image.set(x, y, 80 + int(source() % 81), 90 + int(source() % 81),
                      100 + int(source() % 81));
    return image;
}

// Both sides get identical RGB: the image is compressed once to an in-memory
// JPEG without chroma subsampling and decoded twice, plainly (our input) and
// through the library's quantizer. Without subsampling the upsampling is a
// plain copy, so both decodes run the same transform and colour conversion.
std::pair<rgb_image, reduction> jpeg_reference(const rgb_image& image) {
    jpeg_error_mgr errors;
    jpeg_compress_struct c;
    c.err = jpeg_std_error(&errors);
    jpeg_create_compress(&c);
    unsigned char* jpeg = nullptr;
    unsigned long length = 0;
    jpeg_mem_dest(&c, &jpeg, &length);
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
        auto row = const_cast<JSAMPROW>(&image.rgb[std::size_t(c.next_scanline) * image.width * 3]);
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);

    std::pair<rgb_image, reduction> out{image, {{}, bytes(image.rgb.size() / 3)}};
    for (bool quantize : {false, true}) {
        jpeg_decompress_struct d;
        d.err = jpeg_std_error(&errors);
        jpeg_create_decompress(&d);
        jpeg_mem_src(&d, jpeg, length);
        jpeg_read_header(&d, TRUE);
        d.out_color_space = JCS_RGB;
        d.do_fancy_upsampling = FALSE;
        d.quantize_colors = d.two_pass_quantize = quantize ? TRUE : FALSE;
        d.dither_mode = JDITHER_FS;
        d.desired_number_of_colors = 255;
        jpeg_start_decompress(&d);
        std::uint8_t* target = quantize ? out.second.indices.data() : out.first.rgb.data();
        while (d.output_scanline < d.output_height) {
            JSAMPROW row = target + std::size_t(d.output_scanline) * d.output_width *
                                        std::size_t(d.output_components);
            jpeg_read_scanlines(&d, &row, 1);
        }
        for (int ch = 0; quantize && ch < 3; ++ch)
            out.second.palette[ch].assign(d.colormap[ch],
                                          d.colormap[ch] + d.actual_number_of_colors);
        jpeg_finish_decompress(&d);
        jpeg_destroy_decompress(&d);
    }
    std::free(jpeg);
    return out;
}

TEST(Quantizer, PalettesAndIndicesMatchTheJpegLibrary) {
    rgb_image noisy(160, 120); // errors far beyond the damping limit on most pixels
    std::mt19937 source(1);
    for (auto& sample : noisy.rgb)
        sample = std::uint8_t(int(source() % 256));
    const std::pair<const char*, rgb_image> cases[] = {
        {"photo", photo_like(320, 240)},
        {"photo of an odd size", photo_like(317, 203)},
        {"noise", noisy},
        {"single colour", rgb_image(64, 48, 100, 100, 100)},
        {"fewer occupied cells than colours", flat_tiles(96, 80, 23)},
        {"over 65,535 pixels in one cell", crowded_cell()}};
    for (const auto& [name, image] : cases) {
        const auto [decoded, expected] = jpeg_reference(image);
        const reduction ours = reduce(decoded);
        EXPECT_EQ(ours.palette, expected.palette) << name;
        EXPECT_TRUE(ours.indices == expected.indices) << name;
    }
}

TEST(Quantizer, TheReferenceImagesHoldWhatTheyClaim) {
    auto cell_counts = [](const rgb_image& image) {
        std::map<std::tuple<int, int, int>, std::size_t> cells;
        for (std::size_t i = 0; i < image.rgb.size(); i += 3)
            ++cells[{image.rgb[i] >> 3, image.rgb[i + 1] >> 2, image.rgb[i + 2] >> 3}];
        return cells;
    };
    EXPECT_GT(cell_counts(photo_like(320, 240)).size(), 1000u);
    EXPECT_LT(cell_counts(jpeg_reference(flat_tiles(96, 80, 23)).first).size(), 255u);
    const auto crowded = cell_counts(jpeg_reference(crowded_cell()).first)[{15, 32, 17}];
    EXPECT_GT(crowded, 65535u);
    EXPECT_LT(crowded, 65536u + 1000);
}

TEST(Quantizer, RefusesUnusableRequests) {
    colour_quantizer quantizer;
    std::uint8_t rgb[3] = {1, 2, 3}, index = 7, r[256], g[256], b[256];
    EXPECT_EQ(quantizer.reduce(rgb, 1, 1, &index, r, g, b, 0), 1);
    EXPECT_EQ(quantizer.reduce(rgb, 1, 1, &index, r, g, b, 257), 1);
    EXPECT_EQ(quantizer.reduce(rgb, 0, 5, &index, r, g, b, 255), 0);
    EXPECT_EQ(quantizer.colour_count(), 0);
    EXPECT_EQ(index, 7);
    // The process-wide reduction answers like a private one.
    EXPECT_EQ(reduce_colours(rgb, 1, 1, &index, r, g, b, 255), 0);
    EXPECT_EQ(std::make_tuple(index, r[0], g[0], b[0]), std::make_tuple(0, 4, 2, 4));
}

} // namespace
} // namespace zoetra::test
