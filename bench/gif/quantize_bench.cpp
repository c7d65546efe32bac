// Colour reduction beside the JPEG library's two-pass quantizer, on the same
// RGB and with identical output (checked before timing).
//
// The library only quantizes while decoding, so its cost is measured as the
// difference of two decodes of one in-memory JPEG (4:4:4): one with the
// quantizer (255 colours, Floyd-Steinberg) and one plain. Our reduction gets
// the plain decode's RGB.
//
// Images: photo_WxH.ppm from the directory named by ZOETRA_PEER_WORK when it
// is set (the peer benchmarks' stills), otherwise generated.
#include "gif/quantizer.hpp"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <jpeglib.h>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

struct image {
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgb;
};

image read_ppm(const std::string& path) {
    image out;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr)
        return out;
    int w = 0, h = 0, maxval = 0;
    if (std::fscanf(f, "P6 %d %d %d", &w, &h, &maxval) == 3 && maxval == 255 && w > 0 && h > 0 &&
        std::fgetc(f) != EOF) {
        out.rgb.resize(std::size_t(w) * h * 3);
        if (std::fread(out.rgb.data(), 1, out.rgb.size(), f) == out.rgb.size()) {
            out.width = w;
            out.height = h;
        } else {
            out.rgb.clear();
        }
    }
    std::fclose(f);
    return out;
}

image generated_photo(int width, int height) {
    image out{width, height, std::vector<std::uint8_t>(std::size_t(width) * height * 3)};
    std::uint32_t seed = 1;
    std::uint8_t* p = out.rgb.data();
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x, p += 3) {
            seed = seed * 1103515245u + 12345u;
            const int n = int(seed >> 16) % 13 - 6;
            const double u = double(x) / width, v = double(y) / height;
            p[0] = std::uint8_t(std::clamp(int(140 + 100 * std::sin(6 * u + 2 * v)) + n, 0, 255));
            p[1] = std::uint8_t(std::clamp(int(120 + 90 * std::cos(5 * v - 3 * u)) + n, 0, 255));
            p[2] = std::uint8_t(std::clamp(int(128 + 110 * std::sin(9 * u * v + 1)) - n, 0, 255));
        }
    return out;
}

image source_image(int width, int height) {
    if (const char* work = std::getenv("ZOETRA_PEER_WORK")) {
        image photo = read_ppm(std::string(work) + "/photo_" + std::to_string(width) + "x" +
                               std::to_string(height) + ".ppm");
        if (photo.width == width && photo.height == height)
            return photo;
    }
    return generated_photo(width, height);
}

std::vector<unsigned char> compress(const image& in) {
    jpeg_compress_struct c;
    jpeg_error_mgr e;
    c.err = jpeg_std_error(&e);
    jpeg_create_compress(&c);
    unsigned char* bytes = nullptr;
    unsigned long length = 0;
    jpeg_mem_dest(&c, &bytes, &length);
    c.image_width = JDIMENSION(in.width);
    c.image_height = JDIMENSION(in.height);
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 92, TRUE);
    for (int i = 0; i < c.num_components; ++i)
        c.comp_info[i].h_samp_factor = c.comp_info[i].v_samp_factor = 1;
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row =
            const_cast<JSAMPROW>(&in.rgb[std::size_t(c.next_scanline) * std::size_t(in.width) * 3]);
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::vector<unsigned char> out(bytes, bytes + length);
    std::free(bytes);
    return out;
}

// Decodes into out (RGB, or indices when quantizing); returns the colour count.
int decompress(const std::vector<unsigned char>& jpeg, bool quantize, std::uint8_t* out,
               std::uint8_t (*colormap)[256] = nullptr) {
    jpeg_decompress_struct d;
    jpeg_error_mgr e;
    d.err = jpeg_std_error(&e);
    jpeg_create_decompress(&d);
    jpeg_mem_src(&d, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
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
    const std::size_t stride = std::size_t(d.output_width) * std::size_t(d.output_components);
    while (d.output_scanline < d.output_height) {
        JSAMPROW row = out + std::size_t(d.output_scanline) * stride;
        jpeg_read_scanlines(&d, &row, 1);
    }
    const int colours = quantize ? d.actual_number_of_colors : 0;
    if (colormap != nullptr)
        for (int ch = 0; ch < 3; ++ch)
            for (int i = 0; i < colours; ++i)
                colormap[ch][i] = d.colormap[ch][i];
    jpeg_finish_decompress(&d);
    jpeg_destroy_decompress(&d);
    return colours;
}

struct prepared {
    image decoded; // what both quantizers see
    std::vector<unsigned char> jpeg;
    bool identical = false;
};

const prepared& prepare(int width, int height) {
    static std::map<std::pair<int, int>, prepared> cache;
    auto [at, fresh] = cache.try_emplace({width, height});
    prepared& p = at->second;
    if (!fresh)
        return p;
    p.jpeg = compress(source_image(width, height));
    p.decoded = image{width, height, std::vector<std::uint8_t>(std::size_t(width) * height * 3)};
    decompress(p.jpeg, false, p.decoded.rgb.data());

    std::vector<std::uint8_t> theirs(std::size_t(width) * height), ours(theirs.size());
    std::uint8_t colormap[3][256] = {}, red[256] = {}, green[256] = {}, blue[256] = {};
    const int their_colours = decompress(p.jpeg, true, theirs.data(), colormap);
    zoetra::colour_quantizer quantizer;
    p.identical =
        quantizer.reduce(p.decoded.rgb.data(), width, height, ours.data(), red, green, blue, 255) &&
        quantizer.colour_count() == their_colours && ours == theirs &&
        std::memcmp(red, colormap[0], std::size_t(their_colours)) == 0 &&
        std::memcmp(green, colormap[1], std::size_t(their_colours)) == 0 &&
        std::memcmp(blue, colormap[2], std::size_t(their_colours)) == 0;
    return p;
}

void set_pixels(benchmark::State& state, int width, int height) {
    state.SetItemsProcessed(std::int64_t(state.iterations()) * width * height);
    state.counters["pixels"] = double(width) * height;
}

void BM_reduce_colours(benchmark::State& state) {
    const int width = int(state.range(0)), height = int(state.range(1));
    const prepared& p = prepare(width, height);
    if (!p.identical) {
        state.SkipWithError("output differs from the JPEG library's quantizer");
        return;
    }
    std::vector<std::uint8_t> indices(std::size_t(width) * height);
    std::uint8_t red[256], green[256], blue[256];
    zoetra::colour_quantizer quantizer;
    for (auto _ : state) {
        static_cast<void>(quantizer.reduce(p.decoded.rgb.data(), width, height, indices.data(), red,
                                           green, blue, 255)); // checked by prepare
        benchmark::DoNotOptimize(indices.data());
    }
    set_pixels(state, width, height);
}

void BM_jpeg_plain_decode(benchmark::State& state) {
    const int width = int(state.range(0)), height = int(state.range(1));
    const prepared& p = prepare(width, height);
    std::vector<std::uint8_t> rgb(std::size_t(width) * height * 3);
    for (auto _ : state)
        decompress(p.jpeg, false, rgb.data());
    set_pixels(state, width, height);
}

void BM_jpeg_quantized_decode(benchmark::State& state) {
    const int width = int(state.range(0)), height = int(state.range(1));
    const prepared& p = prepare(width, height);
    std::vector<std::uint8_t> indices(std::size_t(width) * height);
    for (auto _ : state)
        decompress(p.jpeg, true, indices.data());
    set_pixels(state, width, height);
}

void sizes(benchmark::internal::Benchmark* b) {
    b->Args({350, 250})->Args({1000, 700})->Args({2000, 1500})->Unit(benchmark::kMillisecond);
}

} // namespace

BENCHMARK(BM_reduce_colours)->Apply(sizes);
BENCHMARK(BM_jpeg_plain_decode)->Apply(sizes);
BENCHMARK(BM_jpeg_quantized_decode)->Apply(sizes);
