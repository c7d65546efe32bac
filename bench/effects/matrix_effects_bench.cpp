// One frame of the matrix effects at the default output size, 350 x 250:
// the wave (both modes), the rotation of three colour planes and the mosaic
// of three colour planes. Each iteration is one fire: the output matrices
// are made, written and handed over (with the audits at both ends); handing
// the inputs their planes, which the sending component pays for, is left
// out of the timing.
#include "components/effects/crystalize.hpp"
#include "components/effects/rotate.hpp"
#include "components/effects/wave.hpp"

#include <benchmark/benchmark.h>

#include <cmath>
#include <stdexcept>
#include <string>

namespace zoetra {
namespace {

constexpr std::uint16_t picture_width = 350;
constexpr std::uint16_t picture_height = 250;

// The rest of the network: outputs that give the effect's inputs a peer, and
// inputs that receive (and audit) the planes it sends.
class plane_ends : public component {
  public:
    explicit plane_ends(const char* type) : component(kind_input, "PLANES", 1.0) {
        const double size[3] = {picture_width, picture_height, 1};
        const double big[3] = {2048, 2048, 1};
        add_number("VALUE", false, 0, 0, 65535, 1);
        add_size("SIZE", size, size, big);
        add_menu("TYPE", false, {"UINT8", "UINT16"}).select_by_name(type);
    }
    bool fire(std::string& error) override { return finish_fire(error, true); }
    void feed(component& target, const std::string& input) {
        port& out = add_port(port::direction::out, "VALUE", "SIZE", "TYPE", "TO." + input);
        port::connect(out, target.find_port(input), nullptr);
    }
    void take(component& target, const std::string& output) {
        port& in = add_port(port::direction::in, "VALUE", "SIZE", "TYPE", "FROM." + output);
        port::connect(in, target.find_port(output), nullptr);
    }
};

void set_plane_size(component& c, const char* name) {
    c.number(name).set_value(0, picture_width);
    c.number(name).set_value(1, picture_height);
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
    std::string error;
    c.preprepare(error);
    c.prepare(error);
}

void fire_once(component& c) {
    std::string error;
    if (!c.fire(error))
        throw std::runtime_error(error);
    c.clear_fired();
}

void wave_frame(benchmark::State& state) {
    effects::wave w;
    plane_ends sink("UINT8");
    sink.take(w, "OUT");
    set_plane_size(w, "SIZE");
    w.menu("MODE").select(static_cast<int>(state.range(0)));
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
    plane_ends ends("UINT8");
    turn.menu("TYPE").select_by_name("UINT8");
    set_plane_size(turn, "SIZE.IN");
    set_plane_size(turn, "SIZE.OUT");
    turn.number("ROTATE_ANGLE").set_value(0, 35);
    matrix_ptr planes[3] = {colour_plane(0), colour_plane(40), colour_plane(80)};
    for (int k = 1; k <= 3; ++k) {
        ends.feed(turn, "IN." + std::to_string(k));
        ends.take(turn, "OUT." + std::to_string(k));
    }
    prepare(turn);
    std::string error;
    for (auto _ : state) {
        state.PauseTiming();
        for (int k = 0; k < 3; ++k) {
            matrix_ptr copy = planes[k]->clone();
            turn.find_port("IN." + std::to_string(k + 1)).hold(copy, error);
        }
        state.ResumeTiming();
        fire_once(turn);
    }
    state.SetItemsProcessed(state.iterations() * 3 * picture_width * picture_height);
}
BENCHMARK(rotation_frame)->Unit(benchmark::kMillisecond);

void mosaic_frame(benchmark::State& state) {
    effects::crystalize mosaic;
    plane_ends ends("UINT8");
    mosaic.menu("TYPE").select_by_name("UINT8");
    set_plane_size(mosaic, "SIZE");
    mosaic.number("CRYSTAL SIZE").set_value(0, double(state.range(0)));
    matrix_ptr planes[3] = {colour_plane(0), colour_plane(40), colour_plane(80)};
    for (int k = 1; k <= 3; ++k) {
        ends.feed(mosaic, "IN." + std::to_string(k));
        ends.take(mosaic, "OUT." + std::to_string(k));
    }
    prepare(mosaic);
    std::string error;
    for (auto _ : state) {
        state.PauseTiming();
        for (int k = 0; k < 3; ++k) {
            matrix_ptr copy = planes[k]->clone();
            mosaic.find_port("IN." + std::to_string(k + 1)).hold(copy, error);
        }
        state.ResumeTiming();
        fire_once(mosaic);
    }
    state.SetItemsProcessed(state.iterations() * 3 * picture_width * picture_height);
}
BENCHMARK(mosaic_frame)->Arg(4)->Arg(16)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace zoetra
