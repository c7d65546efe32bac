// GIF decoding throughput on a corpus of real files.
//
//   ZOETRA_GIF_CORPUS=DIR gif_bench --benchmark_filter=decode
//
// Every .gif of DIR gets two benchmarks: load_gif (the first frame, composed
// to 32-bit pixels: what the application does with every image) and the frame
// reader stepping through all frames. The "MP/s" counter counts the pixels of
// the frame rectangles decoded per second of wall time, the measure the
// reference decoders report, so the figures can be set side by side (see
// decode_compare.py).
#include "gif/decoder.hpp"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using zoetra::gif_reader;

// Pixels of the frame rectangles: the first frame's, and all frames' together.
struct frame_pixels {
    double first = 0;
    double all = 0;
};

// The composed frames are all screen-sized, so the rectangles are read here
// from the image descriptors, once, outside timing.
frame_pixels count_frame_pixels(const std::string& path) {
    frame_pixels counted;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return counted;
    std::vector<unsigned char> bytes;
    for (int c; (c = std::fgetc(file)) != EOF;)
        bytes.push_back(static_cast<unsigned char>(c));
    std::fclose(file);
    auto u16 = [&](std::size_t at) { return bytes[at] | (bytes[at + 1] << 8); };
    auto skip_blocks = [&](std::size_t at) {
        while (at < bytes.size() && bytes[at] != 0)
            at += 1 + bytes[at];
        return at + 1;
    };
    std::size_t at = 13;
    if (bytes.size() > 10 && (bytes[10] & 0x80) != 0)
        at += 3u * (2u << (bytes[10] & 7));
    while (at < bytes.size()) {
        if (bytes[at] == 0x21) {
            at = skip_blocks(at + 2);
        } else if (bytes[at] == 0x2C && at + 10 <= bytes.size()) {
            double pixels = double(u16(at + 5)) * u16(at + 7);
            if (counted.all == 0)
                counted.first = pixels;
            counted.all += pixels;
            int flags = bytes[at + 9];
            at += 10;
            if ((flags & 0x80) != 0)
                at += 3u * (2u << (flags & 7));
            at = skip_blocks(at + 1);
        } else {
            break;
        }
    }
    return counted;
}

void bench_load_gif(benchmark::State& state, const std::string& path, double pixels) {
    for (auto _ : state) {
        auto image = zoetra::load_gif(path);
        if (!image) {
            state.SkipWithError("load_gif failed");
            return;
        }
        benchmark::DoNotOptimize(image.get());
    }
    state.counters["MP/s"] =
        benchmark::Counter(pixels * 1e-6, benchmark::Counter::kIsIterationInvariantRate);
}

void bench_all_frames(benchmark::State& state, const std::string& path, double pixels) {
    gif_reader reader;
    for (auto _ : state) {
        if (!reader.open(path)) {
            state.SkipWithError("open failed");
            return;
        }
        while (auto frame = reader.read_frame())
            benchmark::DoNotOptimize(frame.get());
    }
    state.counters["MP/s"] =
        benchmark::Counter(pixels * 1e-6, benchmark::Counter::kIsIterationInvariantRate);
}

void register_corpus(const std::filesystem::path& directory) {
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(directory))
        if (entry.path().extension() == ".gif")
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    for (const auto& file : files) {
        frame_pixels pixels = count_frame_pixels(file.string());
        if (pixels.all == 0) {
            std::fprintf(stderr, "skipping %s: not readable\n", file.string().c_str());
            continue;
        }
        std::string name = file.filename().string();
        benchmark::RegisterBenchmark(("decode_load_gif/" + name).c_str(), bench_load_gif,
                                     file.string(), pixels.first)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        benchmark::RegisterBenchmark(("decode_all_frames/" + name).c_str(), bench_all_frames,
                                     file.string(), pixels.all)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    }
}

// Registers the corpus benchmarks before the benchmark library's main runs.
const bool corpus_registered = [] {
    const char* corpus = std::getenv("ZOETRA_GIF_CORPUS");
    if (corpus == nullptr || !std::filesystem::is_directory(corpus)) {
        std::fprintf(stderr,
                     "decode benchmarks need ZOETRA_GIF_CORPUS=<directory of .gif files>\n");
        return false;
    }
    register_corpus(corpus);
    return true;
}();

} // namespace
