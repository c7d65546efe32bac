// One frame of the matrix effects at the default output size, 350 x 250:
// the wave (both modes), the rotation of three colour planes and the mosaic
// of three colour planes. Each iteration is one fire: the output matrices
// are made, written and handed over (with the audits at both ends); handing
// the inputs their planes, which the sending component pays for, is left
// out of the timing.
#include "components/effects/crystalize.hpp"
#include "components/effects/rotate.hpp"
#include "components/effects/wave.hpp"
#include "plane_ends.hpp"

#include <benchmark/benchmark.h>

#include <cmath>
#include <stdexcept>
#include <string>

namespace zoetra {
namespace {

using bench::must;
using bench::plane_ends;

constexpr std::uint16_t picture_width = 350;
constexpr std::uint16_t picture_height = 250;

void set_plane_size(component& c, const char* name) {
    number_named(c, name).set_value(0, picture_width);
    number_named(c, name).set_value(1, picture_height);
}

// A colour plane with some structure, so that no shortcut pays off.
matrix_ptr colour_plane(int seed) {
    const std::uint16_t sizes[3] = {picture_width, picture_height, 1};
    auto m = std::make_unique<matrix>(3, sizes, 1, uint8_type);
    for (std::uint16_t y = 0; y < picture_height; ++y)
        for (std::uint16_t x = 0; x < picture_width; ++x)
            m->u8(x, y) =
                std::uint8_t(127 + 127 * std::sin((x + seed) * 0.05) * std::cos((y - seed) * 0.03));
    return m;
}

void prepare(component& c) {
    must(c.preprepare());
    must(c.prepare());
}

void fire_once(component& c) {
    must(c.fire());
    c.clear_fired();
}

void wave_frame(benchmark::State& state) {
    effects::wave w;
    plane_ends sink("UINT8", picture_width, picture_height);
    sink.take(w, "OUT");
    set_plane_size(w, "SIZE");
    menu_named(w, "MODE").select(static_cast<int>(state.range(0)));
    prepare(w);
    for (auto _ : state)
        fire_once(w);
    state.SetLabel(state.range(0) == 0 ? "linear" : "radial");
    state.SetItemsProcessed(state.iterations() * picture_width * picture_height);
}
BENCHMARK(wave_frame)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Three planes, as a network turns the red, green and blue planes of a picture.
void rotation_frame(benchmark::State& state) {
    effects::rotate turn;
    plane_ends ends("UINT8", picture_width, picture_height);
    menu_named(turn, "TYPE").select_by_name("UINT8");
    set_plane_size(turn, "SIZE.IN");
    set_plane_size(turn, "SIZE.OUT");
    number_named(turn, "ROTATE_ANGLE").set_value(0, 35);
    matrix_ptr planes[3] = {colour_plane(0), colour_plane(40), colour_plane(80)};
    for (int k = 1; k <= 3; ++k) {
        ends.feed(turn, "IN." + std::to_string(k));
        ends.take(turn, "OUT." + std::to_string(k));
    }
    prepare(turn);
    for (auto _ : state) {
        state.PauseTiming();
        for (int k = 0; k < 3; ++k) {
            matrix_ptr copy = planes[k]->clone();
            must(port_of(turn, "IN." + std::to_string(k + 1)).hold(copy));
        }
        state.ResumeTiming();
        fire_once(turn);
    }
    state.SetItemsProcessed(state.iterations() * 3 * picture_width * picture_height);
}
BENCHMARK(rotation_frame)->Unit(benchmark::kMillisecond);

void mosaic_frame(benchmark::State& state) {
    effects::crystalize mosaic;
    plane_ends ends("UINT8", picture_width, picture_height);
    menu_named(mosaic, "TYPE").select_by_name("UINT8");
    set_plane_size(mosaic, "SIZE");
    number_named(mosaic, "CRYSTAL SIZE").set_value(0, double(state.range(0)));
    matrix_ptr planes[3] = {colour_plane(0), colour_plane(40), colour_plane(80)};
    for (int k = 1; k <= 3; ++k) {
        ends.feed(mosaic, "IN." + std::to_string(k));
        ends.take(mosaic, "OUT." + std::to_string(k));
    }
    prepare(mosaic);
    for (auto _ : state) {
        state.PauseTiming();
        for (int k = 0; k < 3; ++k) {
            matrix_ptr copy = planes[k]->clone();
            must(port_of(mosaic, "IN." + std::to_string(k + 1)).hold(copy));
        }
        state.ResumeTiming();
        fire_once(mosaic);
    }
    state.SetItemsProcessed(state.iterations() * 3 * picture_width * picture_height);
}
BENCHMARK(mosaic_frame)->Arg(4)->Arg(16)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace zoetra
