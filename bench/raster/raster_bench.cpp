// Fill rates of the drawing primitives on an image of the default window
// size (650 x 465).
#include "app/services/interface_colours.hpp"
#include "raster/draw.hpp"
#include "raster/text.hpp"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace zoetra {
namespace {

constexpr std::uint16_t frame_width = 650;
constexpr std::uint16_t frame_height = 465;
constexpr colour red{0, 255, 0, 0};
constexpr colour blue{0, 0, 0, 255};

// An image of the window's size, as the window's drawing sees it.
struct window_image {
    buffer pixels{frame_width, frame_height, ui_mid};
    buffer& image() { return pixels; }
};

struct positions {
    std::vector<std::int16_t> xs, ys;
    explicit positions(int count, int margin = 0) {
        std::mt19937 random(42);
        std::uniform_int_distribution<int> x(-margin, frame_width - 1 + margin);
        std::uniform_int_distribution<int> y(-margin, frame_height - 1 + margin);
        for (int i = 0; i < count; ++i) {
            xs.push_back(std::int16_t(x(random)));
            ys.push_back(std::int16_t(y(random)));
        }
    }
};

void fast_fill_whole(benchmark::State& state) {
    window_image frame;
    buffer_lock hold(frame.image());
    for (auto _ : state) {
        fast_fill(frame.image(), ui_mid);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * frame_width * frame_height);
    state.SetLabel("items = pixels");
}
BENCHMARK(fast_fill_whole);

void fast_fill_part(benchmark::State& state) {
    window_image frame;
    buffer_lock hold(frame.image());
    for (auto _ : state) {
        fast_fill(frame.image(), ui_mid, rect{150, 50, 350, 250});
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 350 * 250);
    state.SetLabel("items = pixels");
}
BENCHMARK(fast_fill_part);

void filled_circles(benchmark::State& state) {
    window_image frame;
    buffer_lock hold(frame.image());
    const auto diameter = std::uint16_t(state.range(0));
    positions at(1024, diameter);
    std::size_t i = 0;
    for (auto _ : state) {
        draw_circle(frame.image(), std::int16_t(at.xs[i] - diameter / 2),
                    std::int16_t(at.ys[i] - diameter / 2), diameter, diameter, red, true, blue);
        i = (i + 1) % at.xs.size();
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel("items = circles");
}
BENCHMARK(filled_circles)->Arg(4)->Arg(32)->Arg(200);

void filled_polygons(benchmark::State& state) {
    window_image frame;
    buffer_lock hold(frame.image());
    const int vertices = int(state.range(0));
    positions at(1024 * vertices);
    std::size_t i = 0;
    for (auto _ : state) {
        draw_polygon(frame.image(), &at.xs[i], &at.ys[i], std::uint8_t(vertices), red, true, blue);
        i = (i + std::size_t(vertices)) % at.xs.size();
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel("items = polygons (random vertices across the frame)");
}
BENCHMARK(filled_polygons)->Arg(3)->Arg(8)->Arg(32);

void lines(benchmark::State& state) {
    window_image frame;
    buffer_lock hold(frame.image());
    positions at(2048, 100);
    std::size_t i = 0;
    std::int64_t pixels = 0;
    for (auto _ : state) {
        draw_line(frame.image(), at.xs[i], at.ys[i], at.xs[i + 1], at.ys[i + 1], red);
        pixels +=
            std::max(std::abs(at.xs[i] - at.xs[i + 1]), std::abs(at.ys[i] - at.ys[i + 1])) + 1;
        i = (i + 2) % at.xs.size();
    }
    state.SetItemsProcessed(pixels);
    state.SetLabel("items = line pixels (inside or clipped)");
}
BENCHMARK(lines);

void stretch(benchmark::State& state, bool skip_transparent) {
    window_image frame;
    buffer source(350, 250, red);
    {
        buffer_lock hold(source);
        draw_circle(source, 0, 0, 250, 250, blue, true, blue); // half visible
    }
    buffer_lock hold_frame(frame.image());
    buffer_lock hold_source(source);
    for (auto _ : state) {
        if (skip_transparent)
            stretch_copy_visible(source, frame.image(), 0, 0, 350, 250, 0, 0, frame_width,
                                 frame_height);
        else
            stretch_copy(source, frame.image(), 0, 0, 350, 250, 0, 0, frame_width, frame_height);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * frame_width * frame_height);
    state.SetLabel("items = destination pixels");
}
BENCHMARK_CAPTURE(stretch, opaque, false);
BENCHMARK_CAPTURE(stretch, skip_transparent, true);

void text_line(benchmark::State& state) {
    window_image frame;
    buffer_lock hold(frame.image());
    for (auto _ : state)
        draw_text_at(frame.image(), "Creating frame 12 of 32.", 4, 460, ui_text);
    state.SetItemsProcessed(state.iterations());
    state.SetLabel("items = status lines");
}
BENCHMARK(text_line);

} // namespace
} // namespace zoetra

BENCHMARK_MAIN();
