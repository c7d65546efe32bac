// One frame of the three-dimensional effects at the default output size:
// a 350 x 250 height plane through the camera onto a surface, and a cloud
// of 350 x 250 points, drawn on a 350 x 250 output canvas in the window's
// work area.
#include "base/utility.hpp"
#include "components/effects/cube.hpp"
#include "components/effects/renderers.hpp"
#include "engine/context.hpp"
#include "plane_ends.hpp"
#include "raster/output_canvas.hpp"

#include <benchmark/benchmark.h>

#include <cmath>
#include <stdexcept>

namespace zoetra {
namespace {

using bench::must;
using bench::plane_ends;

constexpr int plane_width = 350;
constexpr int plane_height = 250;

void set_size(component& c) {
    number_named(c, "SIZE").set_value(0, plane_width);
    number_named(c, "SIZE").set_value(1, plane_height);
}

// Rolling hills: heights between 0 and 65535.
matrix_ptr hills() {
    const std::uint16_t sizes[3] = {plane_width, plane_height, 1};
    auto m = std::make_unique<matrix>(3, sizes, 2, uint16_type);
    for (int r = 0; r < plane_height; ++r)
        for (int c = 0; c < plane_width; ++c)
            m->u16(std::uint16_t(c), std::uint16_t(r)) =
                std::uint16_t(32767 + 32767 * std::sin(c * 0.05) * std::cos(r * 0.07));
    return m;
}

struct scene {
    context program;
    output_canvas canvas{output_canvas::standard_work_width, output_canvas::standard_work_height,
                         colour{0, 0, 128, 128}};
    effects::cube camera;
    plane_ends heights{"UINT16", 1, 1};
    matrix_ptr z = hills();

    run_context network{&program, &canvas};

    scene() {
        canvas.set_output_size(plane_width, plane_height);
        program.random().seed(1);
        camera.set_context(&network);
        set_size(camera);
        number_named(camera, "CAM.PHI").set_value(0, 40);
        heights.feed(camera, "Z.IN");
    }
    void wire(component& renderer) {
        renderer.set_context(&network);
        set_size(renderer);
        must(port::connect(port_of(camera, "X.OUT"), port_of(renderer, "X")));
        must(port::connect(port_of(camera, "Y.OUT"), port_of(renderer, "Y")));
        must(port::connect(port_of(camera, "EYE.OUT"), port_of(renderer, "SORT")));
    }
    void project() {
        matrix_ptr given = z->clone();
        must(port_of(camera, "Z.IN").hold(given));
        must(camera.fire());
        camera.clear_fired();
    }
};

void camera_only(benchmark::State& state) {
    scene s;
    effects::dot_renderer sink; // takes the planes, never fired
    s.wire(sink);
    for (auto _ : state) {
        s.project();
        for (int i = 0; i < sink.port_count(); ++i)
            sink.port_at(i).release();
    }
    state.SetItemsProcessed(state.iterations() * plane_width * plane_height);
    state.SetLabel("items = points");
}
BENCHMARK(camera_only)->Unit(benchmark::kMillisecond);

void camera_and_surface(benchmark::State& state) {
    scene s;
    effects::surface_renderer surface;
    s.wire(surface);
    must(surface.prepare());
    for (auto _ : state) {
        s.project();
        must(surface.fire());
        surface.clear_fired();
    }
    state.SetItemsProcessed(state.iterations() * (plane_width - 1) * (plane_height - 1));
    state.SetLabel("items = cells");
}
BENCHMARK(camera_and_surface)->Unit(benchmark::kMillisecond);

// The cloud on its grid (no depth, drawn straight away) and fed by the
// camera (records sorted by depth).
void cloud(benchmark::State& state) {
    scene s;
    effects::cloud_renderer cloud;
    const bool with_camera = state.range(0) != 0;
    if (with_camera)
        s.wire(cloud);
    else
        set_size(cloud);
    cloud.set_context(&s.network);
    must(cloud.prepare());
    for (auto _ : state) {
        if (with_camera)
            s.project();
        must(cloud.fire());
        cloud.clear_fired();
    }
    state.SetItemsProcessed(state.iterations() * plane_width * plane_height);
    state.SetLabel(with_camera ? "camera and depth sort; items = points" : "grid; items = points");
}
BENCHMARK(cloud)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace zoetra

BENCHMARK_MAIN();
