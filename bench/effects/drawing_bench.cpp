// One frame of the three-dimensional effects at the default output size:
// a 350 x 250 height plane through the camera onto a surface, and a cloud
// of 350 x 250 points, drawn into a 350 x 250 output area of a frame image
// of the default window size.
#include "app/services/utility.hpp"
#include "components/effects/cube.hpp"
#include "components/effects/renderers.hpp"
#include "raster/frame_image.hpp"

#include <benchmark/benchmark.h>

#include <cmath>

namespace zoetra {
namespace {

constexpr int plane_width = 350;
constexpr int plane_height = 250;

// A component whose outputs make the inputs they feed count as connected.
class source : public component {
  public:
    source() : component(kind_input, "SOURCE", 1.0) {
        const double one[3] = {1, 1, 1};
        const double big[3] = {2048, 2048, 1};
        add_number("VALUE", false, 0, 0, 65535, 1);
        add_size("SIZE", one, one, big);
        add_menu("TYPE", false, {"UINT8", "UINT16"});
    }
    bool fire(std::string& error) override { return finish_fire(error, true); }
    void feed(component& target, const char* input) {
        port& out = add_port(port::direction::out, "VALUE", "SIZE", "TYPE", input);
        port::connect(out, target.find_port(input), nullptr);
    }
};

void set_size(component& c) {
    c.number("SIZE").set_value(0, plane_width);
    c.number("SIZE").set_value(1, plane_height);
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
    frame_image frame{650, 465};
    effects::cube camera;
    source heights;
    matrix_ptr z = hills();
    std::string error;

    run_context context{&frame};

    scene() {
        frame.set_output_size(plane_width, plane_height);
        seed_random(1);
        set_size(camera);
        camera.number("CAM.PHI").set_value(0, 40);
        heights.feed(camera, "Z.IN");
    }
    void wire(component& renderer) {
        renderer.set_context(&context);
        set_size(renderer);
        port::connect(camera.find_port("X.OUT"), renderer.find_port("X"), nullptr);
        port::connect(camera.find_port("Y.OUT"), renderer.find_port("Y"), nullptr);
        port::connect(camera.find_port("EYE.OUT"), renderer.find_port("SORT"), nullptr);
    }
    void project() {
        matrix_ptr given = z->clone();
        camera.find_port("Z.IN").hold(given, error);
        camera.fire(error);
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
    surface.prepare(s.error);
    for (auto _ : state) {
        s.project();
        surface.fire(s.error);
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
    cloud.set_context(&s.context);
    cloud.prepare(s.error);
    for (auto _ : state) {
        if (with_camera)
            s.project();
        cloud.fire(s.error);
        cloud.clear_fired();
    }
    state.SetItemsProcessed(state.iterations() * plane_width * plane_height);
    state.SetLabel(with_camera ? "camera and depth sort; items = points" : "grid; items = points");
}
BENCHMARK(cloud)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace zoetra

BENCHMARK_MAIN();
