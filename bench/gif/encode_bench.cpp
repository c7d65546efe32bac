// LZW coding beside giflib's coder on the same palette indices, the lossy
// coder beside the plain one, and the whole writer (reductions and coding) on
// an animation, plainly and lossily.
//
// Indices: the frames of every GIF in $ZOETRA_PEER_WORK/corpus (the peer
// benchmarks' decode corpus), decoded with giflib; without it, generated
// content. giflib writes the same frames into memory with EGifPutLine, which
// is almost pure LZW coding.
#include "gif/encoder.hpp"
#include "gif/lzw_encoder.hpp"
#include "gif/lzw_lossy.hpp"

#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

struct gif_frame {
    int left = 0, top = 0, width = 0, height = 0;
    std::vector<std::uint8_t> indices;
};

struct gif_source {
    std::string name;
    int width = 0, height = 0;
    std::vector<GifColorType> colours; // 256 entries
    std::vector<gif_frame> frames;
    std::size_t pixels() const {
        std::size_t n = 0;
        for (const auto& f : frames)
            n += f.indices.size();
        return n;
    }
};

gif_source load_gif(const std::filesystem::path& path) {
    gif_source out;
    out.name = path.filename().string();
    int error = 0;
    GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
    if (gif == nullptr)
        return out;
    if (DGifSlurp(gif) == GIF_OK) {
        out.width = gif->SWidth;
        out.height = gif->SHeight;
        out.colours.assign(256, GifColorType{0, 0, 0});
        if (gif->SColorMap != nullptr)
            std::copy_n(gif->SColorMap->Colors, std::min(256, gif->SColorMap->ColorCount),
                        out.colours.begin());
        for (int i = 0; i < gif->ImageCount; ++i) {
            const SavedImage& image = gif->SavedImages[i];
            gif_frame frame{image.ImageDesc.Left,
                            image.ImageDesc.Top,
                            image.ImageDesc.Width,
                            image.ImageDesc.Height,
                            {}};
            frame.indices.assign(image.RasterBits,
                                 image.RasterBits + std::size_t(frame.width) * frame.height);
            out.frames.push_back(std::move(frame));
        }
    }
    DGifCloseFile(gif, &error);
    return out;
}

// A grey ramp for the photo (its indices follow x), black on white for the
// line art.
gif_source generated(const char* name, int width, int height, bool line_art) {
    gif_source out{name, width, height, std::vector<GifColorType>(256), {}};
    for (int e = 0; e < 256; ++e) {
        const auto grey = GifByteType(line_art ? (e == 0 ? 255 : 0) : e);
        out.colours[std::size_t(e)] = GifColorType{grey, grey, grey};
    }
    gif_frame frame{0, 0, width, height, std::vector<std::uint8_t>(std::size_t(width) * height)};
    std::uint32_t seed = 5;
    for (std::size_t i = 0; i < frame.indices.size(); ++i) {
        seed = seed * 1103515245u + 12345u;
        const int x = int(i % width), y = int(i / width);
        frame.indices[i] = line_art ? std::uint8_t((x % 97 < 2 || (x + y) % 131 < 2) ? 1 : 0)
                                    : std::uint8_t((x * 255 / width + (seed >> 28)) & 0xFF);
    }
    out.frames.push_back(std::move(frame));
    return out;
}

const std::vector<gif_source>& corpus() {
    static const std::vector<gif_source> sources = [] {
        std::vector<gif_source> out;
        if (const char* work = std::getenv("ZOETRA_PEER_WORK")) {
            std::vector<std::filesystem::path> paths;
            std::error_code ec;
            for (const auto& entry :
                 std::filesystem::directory_iterator(std::string(work) + "/corpus", ec))
                if (entry.path().extension() == ".gif")
                    paths.push_back(entry.path());
            std::sort(paths.begin(), paths.end());
            for (const auto& path : paths)
                if (auto source = load_gif(path); !source.frames.empty())
                    out.push_back(std::move(source));
        }
        if (out.empty()) {
            out.push_back(generated("generated_photo_2000x1500", 2000, 1500, false));
            out.push_back(generated("generated_lineart_2000x1500", 2000, 1500, true));
        }
        return out;
    }();
    return sources;
}

void report(benchmark::State& state, const gif_source& source, std::uint64_t bytes) {
    state.SetLabel(source.name);
    state.SetItemsProcessed(std::int64_t(state.iterations()) * std::int64_t(source.pixels()));
    state.counters["bytes_out"] = double(bytes);
}

void BM_lzw_encode(benchmark::State& state) {
    const gif_source& source = corpus()[std::size_t(state.range(0))];
    zoetra::lzw_encoder encoder;
    std::uint64_t bytes = 0;
    for (auto _ : state) {
        zoetra::counting_sink sink;
        for (const auto& frame : source.frames)
            encoder.encode(9, sink, frame.indices.data(), frame.indices.size());
        bytes = sink.byte_count();
        benchmark::DoNotOptimize(bytes);
    }
    report(state, source, bytes);
}

// The lossy coder on the same indices with the file's global table; the
// level is the second argument (bytes_out shows what it saves).
void BM_lzw_lossy_encode(benchmark::State& state) {
    const gif_source& source = corpus()[std::size_t(state.range(0))];
    const int level = int(state.range(1));
    std::vector<std::uint8_t> table(768);
    for (std::size_t e = 0; e < 256; ++e) {
        table[e * 3] = source.colours[e].Red;
        table[e * 3 + 1] = source.colours[e].Green;
        table[e * 3 + 2] = source.colours[e].Blue;
    }
    zoetra::lzw_lossy_encoder encoder;
    std::uint64_t bytes = 0;
    for (auto _ : state) {
        zoetra::counting_sink sink;
        for (const auto& frame : source.frames)
            encoder.encode(9, sink, frame.indices.data(), frame.indices.size(),
                           {frame.width, table.data(), -1, level});
        bytes = sink.byte_count();
        benchmark::DoNotOptimize(bytes);
    }
    report(state, source, bytes);
}

struct memory_output {
    std::vector<GifByteType> bytes;
};

int write_to_memory(GifFileType* gif, const GifByteType* data, int length) {
    auto* out = static_cast<memory_output*>(gif->UserData);
    out->bytes.insert(out->bytes.end(), data, data + length);
    return length;
}

void BM_giflib_lzw_encode(benchmark::State& state) {
    const gif_source& source = corpus()[std::size_t(state.range(0))];
    memory_output out;
    out.bytes.reserve(source.pixels() * 2);
    for (auto _ : state) {
        out.bytes.clear();
        int error = 0;
        GifFileType* gif = EGifOpen(&out, write_to_memory, &error);
        ColorMapObject* map = GifMakeMapObject(256, source.colours.data());
        EGifPutScreenDesc(gif, source.width, source.height, 8, 0, map);
        for (const auto& frame : source.frames) {
            EGifPutImageDesc(gif, frame.left, frame.top, frame.width, frame.height, false, nullptr);
            EGifPutLine(gif, const_cast<GifPixelType*>(frame.indices.data()),
                        int(frame.indices.size()));
        }
        EGifCloseFile(gif, &error);
        GifFreeMapObject(map);
        benchmark::DoNotOptimize(out.bytes.data());
    }
    report(state, source, out.bytes.size());
}

void corpus_files(benchmark::internal::Benchmark* b) {
    for (std::size_t i = 0; i < corpus().size(); ++i)
        b->Arg(std::int64_t(i));
    b->Unit(benchmark::kMillisecond);
}

void corpus_files_and_levels(benchmark::internal::Benchmark* b) {
    for (std::size_t i = 0; i < corpus().size(); ++i)
        for (int level : {40, 200})
            b->Args({std::int64_t(i), level});
    b->Unit(benchmark::kMillisecond);
}

// 32 frames of photo-like content with a transparent surround.
struct save_frames {
    std::vector<std::unique_ptr<zoetra::buffer>> owned;
    std::vector<zoetra::buffer*> frames;
};
save_frames photo_frames(int width, int height) {
    save_frames out;
    auto& owned = out.owned;
    auto& frames = out.frames;
    for (int f = 0; f < 32; ++f) {
        owned.push_back(std::make_unique<zoetra::buffer>(
            std::uint16_t(width), std::uint16_t(height), zoetra::colour{1, 0, 0, 0}));
        zoetra::buffer_lock hold(*owned.back());
        zoetra::pixel* pixels = owned.back()->pixels();
        std::uint32_t seed = std::uint32_t(f + 1);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                seed = seed * 1103515245u + 12345u;
                const double dx = x - width * (0.3 + 0.013 * f), dy = y - height * 0.5;
                if (dx * dx + dy * dy > 0.12 * width * height)
                    continue;
                const int n = int(seed >> 29);
                pixels[y * width + x] = zoetra::pixel(std::min(255, x * 255 / width + n)) << 16 |
                                        zoetra::pixel(int(128 + 100 * std::sin((x + f * 5) * 0.03)))
                                            << 8 |
                                        zoetra::pixel(std::min(255, y * 255 / height + n));
            }
        frames.push_back(owned.back().get());
    }
    return out;
}

// Whole saves, counted rather than written; the third argument is the lossy
// level.
void BM_gif_save(benchmark::State& state) {
    const int width = int(state.range(0)), height = int(state.range(1));
    const save_frames made = photo_frames(width, height);
    const auto& frames = made.frames;
    const zoetra::crop_size size{std::uint16_t(width), std::uint16_t(height)};
    zoetra::gif_encode_options options;
    options.lossy = int(state.range(2));
    std::uint32_t bytes = 0;
    for (auto _ : state) {
        zoetra::gif_writer writer;
        writer.set_options(options);
        if (!writer.open_for_estimate("estimate.gif", {}, size, 0)) {
            state.SkipWithError("the estimate cannot start");
            break;
        }
        writer.estimate_frames(frames, {}, size, 50);
        if (!writer.close()) {
            state.SkipWithError("the estimate failed");
            break;
        }
        bytes = writer.size();
    }
    state.SetItemsProcessed(std::int64_t(state.iterations()) * 32 * width * height);
    state.counters["bytes_out"] = double(bytes);
}

} // namespace

BENCHMARK(BM_lzw_encode)->Apply(corpus_files);
BENCHMARK(BM_lzw_lossy_encode)->Apply(corpus_files_and_levels);
BENCHMARK(BM_giflib_lzw_encode)->Apply(corpus_files);
BENCHMARK(BM_gif_save)
    ->Args({350, 250, 0})
    ->Args({350, 250, 60})
    ->Args({1000, 700, 0})
    ->Args({1000, 700, 60})
    ->Unit(benchmark::kMillisecond);
