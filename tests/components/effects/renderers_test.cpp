#include "components/basic/register.hpp"
#include "components/effects/register.hpp"
#include "components/effects/renderers.hpp"
#include "drawing_support.hpp"
#include "engine/script.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <type_traits>
#include <unistd.h>
#include <vector>

namespace zoetra {
namespace {

using namespace effects;
using namespace testing_support;

// A renderer of w x h points; inputs named in `fed` are connected to a feeder.
template <class R> struct rig {
    rig(int w, int h, std::initializer_list<const char*> fed = {}) {
        set_size(renderer, w, h);
        for (const char* input : fed)
            source.connect(renderer, input);
    }
    void give(const char* input, matrix_ptr m) { feeder::give(renderer, input, std::move(m)); }
    R renderer;
    feeder source;
};

struct point {
    int x, y;
    friend bool operator==(const point&, const point&) = default;
};

// -------------------------------------------------------------- shapes of the family

TEST(RendererFamily, FactoryNamesSettingsAndPortsInRegistrationOrder) {
    component_factory factory;
    define_drawing_effect_components(factory);
    struct expected {
        const char* type;
        const char* name;
        std::vector<std::string> own_configs;
        std::vector<std::string> own_ports;
    };
    const expected members[] = {
        {"dot", "DOT", {"MODE"}, {}},
        {"SHAPE", "SHAPE", {"value.size", "TYPE.size", "MODE", "ss.min", "ss.range"}, {"SSIZE"}},
        {"Fiber", "FIBER", {"ANGLE", "LENGTH"}, {}},
        {"surface", "SURFACE", {}, {}},
        {"cloud", "CLOUD", {"RADIUS", "SIZE.SHAPE", "DENSITY"}, {}},
    };
    const std::vector<std::string> shared_configs = {"VALUE.RED",   "VALUE.GREEN", "VALUE.BLUE",
                                                     "VALUE.ALPHA", "value",       "SIZE",
                                                     "TYPE.COL",    "TYPE"};
    const std::vector<std::string> shared_ports = {"RED", "GREEN", "BLUE", "ALPHA",
                                                   "X",   "Y",     "SORT"};
    for (const expected& e : members) {
        auto c = factory.create(e.type);
        ASSERT_TRUE(c) << e.type;
        EXPECT_EQ(c->name(), e.name);
        EXPECT_EQ(c->desc().class_name, "INPUT");
        std::vector<std::string> configs = shared_configs, ports = shared_ports;
        configs.insert(configs.end(), e.own_configs.begin(), e.own_configs.end());
        ports.insert(ports.end(), e.own_ports.begin(), e.own_ports.end());
        std::vector<std::string> got_configs, got_ports;
        for (int i = 0; i < c->config_count(); ++i)
            got_configs.push_back(c->config_at(i).name());
        for (int i = 0; i < c->port_count(); ++i)
            got_ports.push_back(c->port_at(i).name());
        EXPECT_EQ(got_configs, configs) << e.type;
        EXPECT_EQ(got_ports, ports) << e.type;
    }
    EXPECT_TRUE(factory.create("CUBE"));
    shape_renderer shape;
    EXPECT_EQ(shape.number("ss.min").value(0), 1); // 0 raised to the minimum
    EXPECT_EQ(shape.number("ss.range").desc().title, "SHAPE SIZE");
    EXPECT_TRUE(fiber_renderer().number("ANGLE").dial());
}

// -------------------------------------------------------------- placement and the alpha rule

class Renderers : public frame_test {};

// Nothing connected: a W x H grid of red dots at the centres of equal cells.
TEST_F(Renderers, UnconnectedPositionsMakeAGridOfCellCentres) {
    rig<dot_renderer> dots(4, 3);
    run(dots.renderer);
    const rect a = area();
    std::vector<point> got;
    for_each_drawn([&](int x, int y) { got.push_back({x, y}); });
    ASSERT_EQ(got.size(), 12u);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c) {
            const point p = got[std::size_t(r * 4 + c)];
            EXPECT_NEAR(p.x, a.x + a.width * (2 * c + 1) / 8.0, 1.0) << c << "," << r;
            EXPECT_NEAR(p.y, a.y + a.height * (2 * r + 1) / 6.0, 1.0) << c << "," << r;
            EXPECT_EQ(at(p.x, p.y), red);
        }
}

TEST_F(Renderers, APointWithAlphaIsNeverDrawn) {
    auto alpha = [](int c, int r) { return unsigned(c == r ? 1 : c == 3 && r == 0 ? 255 : 0); };
    rig<dot_renderer> dots(4, 3, {"ALPHA"});
    dots.give("ALPHA", u8_plane(4, 3, alpha));
    run(dots.renderer);
    EXPECT_EQ(drawn_count(), 12 - 4);

    clear();
    rig<shape_renderer> shapes(4, 3, {"ALPHA", "SSIZE"});
    shapes.give("ALPHA", u8_plane(4, 3, alpha));
    shapes.give("SSIZE", u8_plane(4, 3, constant_value(255)));
    run(shapes.renderer);
    // Marks of size 9 in an area shrunk by 9: each centred on its point.
    const rect a = area();
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c) {
            const int x = a.x + 9 + (32767 * (2 * c + 1) / 4) * (a.width - 18) / 65535;
            const int y = a.y + 9 + (32767 * (2 * r + 1) / 3) * (a.height - 18) / 65535;
            EXPECT_EQ(drawn(x, y), alpha(c, r) == 0) << c << "," << r;
        }
}

// "INDEX" mode puts element (c, r) at (c, r) of the output area, whatever
// the positions say.
TEST_F(Renderers, IndexModeIgnoresPositions) {
    rig<dot_renderer> dots(5, 3, {"X", "Y", "BLUE"});
    dots.renderer.menu("MODE").select(1);
    dots.give("X", u16_plane(5, 3, constant_value(65535)));
    dots.give("Y", u16_plane(5, 3, constant_value(0)));
    dots.give("BLUE", u8_plane(5, 3, [](int c, int r) { return unsigned(10 * c + r); }));
    run(dots.renderer);
    EXPECT_EQ(drawn_count(), 15);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 5; ++c)
            EXPECT_EQ(at(area().x + c, area().y + r),
                      (colour{0, 255, 0, std::uint8_t(10 * c + r)}));
}

// -------------------------------------------------------------- depth order

// Two points at the same place: the one with the smaller key is drawn last.
template <class R> void check_nearest_wins(frame_image& frame) {
    for (bool green_nearer : {true, false}) {
        rig<R> two(2, 1, {"X", "Y", "SORT", "GREEN", "BLUE", "RED"});
        two.give("X", u16_plane(2, 1, constant_value(30000)));
        two.give("Y", u16_plane(2, 1, constant_value(30000)));
        two.give("RED", u8_plane(2, 1, constant_value(0)));
        two.give("GREEN", u8_plane(2, 1, [](int c, int) { return c == 0 ? 255u : 0u; }));
        two.give("BLUE", u8_plane(2, 1, [](int c, int) { return c == 1 ? 255u : 0u; }));
        two.give("SORT", u16_plane(2, 1, [&](int c, int) {
                     return (c == 0) == green_nearer ? 10u : 60000u;
                 }));
        if constexpr (std::is_same_v<R, cloud_renderer>) {
            // Big drops close to the point: both points cover its pixel.
            two.renderer.number("RADIUS").set_value(0, 1);
            two.renderer.number("SIZE.SHAPE").set_value(0, 16);
        }
        std::string error;
        ASSERT_TRUE(two.renderer.prepare(error));
        ASSERT_TRUE(two.renderer.fire(error));
        const rect a = frame.output_area();
        const int x = a.x + 30000 * a.width / 65535;
        const int y = a.y + 30000 * a.height / 65535;
        buffer_lock hold(frame.image());
        EXPECT_EQ(get_pixel(frame.image(), std::int16_t(x), std::int16_t(y)),
                  green_nearer ? green : blue)
            << two.renderer.name();
    }
}

TEST_F(Renderers, TheNearerOfTwoPointsAtOnePlaceStaysVisible) {
    check_nearest_wins<dot_renderer>(frame);
    check_nearest_wins<shape_renderer>(frame);
    check_nearest_wins<cloud_renderer>(frame);
}

// A cell's depth is the mean of its four corners, not its first point's.
TEST_F(Renderers, SurfaceCellsSortByTheMeanOfTheirCorners) {
    rig<surface_renderer> s(3, 2, {"X", "Y", "SORT", "RED", "GREEN", "BLUE"});
    // Both cells cover the same rectangle: columns 0 and 2 coincide.
    s.give("X", u16_plane(3, 2, [](int c, int) { return c == 1 ? 50000u : 10000u; }));
    s.give("Y", u16_plane(3, 2, [](int, int r) { return r == 0 ? 10000u : 50000u; }));
    s.give("RED", u8_plane(3, 2, constant_value(0)));
    s.give("GREEN", u8_plane(3, 2, [](int c, int) { return c == 1 ? 255u : 0u; }));
    s.give("BLUE", u8_plane(3, 2, [](int c, int) { return c == 0 ? 255u : 0u; }));
    // Cell 0 (blue): corners 100, 0, 0, 100, mean 50. Cell 1 (green): corners
    // 0, 200, 200, 0, mean 100, although its own point's key is the smaller.
    s.give("SORT", u16_plane(3, 2, [](int c, int) { return c == 0 ? 100u : c == 1 ? 0u : 200u; }));
    run(s.renderer);
    const rect a = area();
    EXPECT_EQ(at(a.x + a.width * 30000 / 65535, a.y + a.height * 30000 / 65535), blue);
}

// -------------------------------------------------------------- marks

TEST_F(Renderers, SurfaceNeedsTwoPointsEachWay) {
    for (auto [w, h] : {std::pair{1, 5}, std::pair{5, 1}, std::pair{1, 1}}) {
        rig<surface_renderer> s(w, h);
        run(s.renderer);
        EXPECT_EQ(s.renderer.record_count(), 0u);
    }
    EXPECT_EQ(drawn_count(), 0);

    // A 2 x 2 grid makes one filled cell between the four cell centres.
    rig<surface_renderer> s(2, 2);
    run(s.renderer);
    const rect a = area();
    const int left = a.x + 16383 * a.width / 65535, right = a.x + 49150 * a.width / 65535;
    const int top = a.y + 16383 * a.height / 65535, bottom = a.y + 49150 * a.height / 65535;
    EXPECT_EQ(drawn_outside(rect{std::int16_t(left), std::int16_t(top), std::uint16_t(right - left),
                                 std::uint16_t(bottom - top)},
                            1),
              0);
    EXPECT_GE(drawn_count(), (right - left) * (bottom - top));
    s.renderer.reset();
    EXPECT_EQ(s.renderer.record_count(), 0u);
}

// Sizes run from "ss.min" at "SSIZE" 0 to "ss.min" + "ss.range" at 255.
TEST_F(Renderers, ShapeSizesFollowTheSizePlane) {
    auto square_of = [&](int smallest, int range, unsigned ssize, bool circle) {
        clear();
        rig<shape_renderer> one(1, 1, {"SSIZE"});
        one.renderer.number("ss.min").set_minimum(0, 0);
        one.renderer.number("ss.min").set_value(0, smallest);
        one.renderer.number("ss.range").set_value(0, range);
        one.renderer.menu("MODE").select(circle ? 0 : 1);
        one.give("SSIZE", u8_plane(1, 1, constant_value(ssize)));
        run(one.renderer);
        return drawn_count();
    };
    EXPECT_EQ(square_of(3, 8, 0, false), 3 * 3);
    EXPECT_EQ(square_of(3, 8, 255, false), 11 * 11);
    EXPECT_EQ(square_of(3, 8, 128, false), 7 * 7); // 3 + 128 x 8 / 255
    EXPECT_EQ(square_of(1, 8, 0, true), 1);
    EXPECT_EQ(square_of(0, 8, 0, true), 0);
    EXPECT_EQ(square_of(0, 8, 0, false), 0);
    EXPECT_EQ(square_of(0, 0, 255, true), 0);
}

// At 90 degrees every segment climbs five rows and moves at most two
// columns, so it stays within 22.5 degrees of the vertical.
TEST_F(Renderers, FibersAtNinetyDegreesGoUp) {
    for (unsigned seed = 1; seed <= 20; ++seed) {
        clear();
        seed_random(seed);
        rig<fiber_renderer> f(1, 1);
        f.renderer.number("ANGLE").set_value(0, 90);
        f.renderer.number("LENGTH").set_value(0, 5);
        run(f.renderer);
        std::vector<std::vector<int>> columns_of_row(400);
        for_each_drawn([&](int x, int y) { columns_of_row[std::size_t(y)].push_back(x); });
        const rect a = area();
        const int inner_w = a.width - 50, inner_h = a.height - 50;
        int x = a.x + 25 + 32767 * inner_w / 65535;
        const int y = a.y + 25 + 32767 * inner_h / 65535;
        ASSERT_EQ(columns_of_row[std::size_t(y)], std::vector<int>{x});
        for (int segment = 1; segment <= 5; ++segment) {
            const auto& ends = columns_of_row[std::size_t(y - 5 * segment)];
            ASSERT_EQ(ends.size(), 1u) << "seed " << seed << " segment " << segment;
            EXPECT_LE(std::abs(ends[0] - x), 2) << "seed " << seed;
            x = ends[0];
            for (int row = y - 5 * segment + 1; row < y - 5 * (segment - 1); ++row)
                EXPECT_EQ(columns_of_row[std::size_t(row)].size(), 1u);
        }
        EXPECT_EQ(drawn_count(), 26);
    }
}

TEST_F(Renderers, CloudDropsStayNearTheirPoint) {
    rig<cloud_renderer> c(1, 1);
    c.renderer.number("DENSITY").set_value(0, 6);
    run(c.renderer);
    const rect a = area();
    const double cx = a.x + 8 + 32767.0 * (a.width - 16) / 65535;
    const double cy = a.y + 8 + 32767.0 * (a.height - 16) / 65535;
    int far = 0;
    for_each_drawn([&](int x, int y) { far += std::hypot(x - cx, y - cy) > 8 + 1 + 2.5 + 1; });
    EXPECT_EQ(far, 0);
    EXPECT_GE(drawn_count(), 13); // at least one whole drop of diameter 5
}

// -------------------------------------------------------------- robustness

// Random planes and settings, some far beyond their ranges, on a frame image
// whose output area reaches its left and right edges. Marks stay in the
// output area (positions of 65535 land one past it; cloud drops reach over
// by their size), and nothing is written outside the image.
class RenderersOnASmallImage : public frame_test {};

TEST_F(RenderersOnASmallImage, RandomInputsStayInTheOutputArea) {
    frame_image small(120, 150);
    install_frame_image(&small);
    small.set_output_size(350, 250);
    ASSERT_EQ(small.output_area().width, 120);
    std::mt19937 random(99);
    auto pick = [&](int lo, int hi) { return lo + int(random() % unsigned(hi - lo + 1)); };
    auto count_outside = [&](const rect& r, int margin_before, int margin_after) {
        buffer_lock hold(small.image());
        int n = 0;
        for (int y = 0; y < small.height(); ++y)
            for (int x = 0; x < small.width(); ++x)
                if (is_visible(small.image().pixels()[std::size_t(y) * small.width() + x]) &&
                    (x < r.x - margin_before || y < r.y - margin_before ||
                     x >= r.x + r.width + margin_after || y >= r.y + r.height + margin_after))
                    ++n;
        return n;
    };
    for (int round = 0; round < 250; ++round) {
        const bool wild = round % 5 == 4;
        const int w = pick(1, 24), h = pick(1, 24);
        std::unique_ptr<point_renderer> r;
        int before = 0, after = 1;
        switch (round % 5) {
        case 0:
            r = std::make_unique<dot_renderer>();
            break;
        case 1:
            r = std::make_unique<shape_renderer>();
            break;
        case 2:
            r = std::make_unique<fiber_renderer>();
            break;
        case 3:
            r = std::make_unique<surface_renderer>();
            break;
        default:
            r = std::make_unique<cloud_renderer>();
            break;
        }
        component& c = *r;
        set_size(c, w, h);
        feeder source;
        for (const char* input : {"X", "Y", "SORT", "ALPHA"})
            if (random() % 3 != 0)
                source.connect(c, input);
        auto extreme = [&](int, int) {
            const unsigned v = random() % 4;
            return v == 0 ? 0u : v == 1 ? 65535u : unsigned(random() % 65536);
        };
        for (const char* input : {"X", "Y", "SORT"})
            if (c.find_port(input).connected())
                feeder::give(c, input, u16_plane(w, h, extreme));
        if (c.find_port("ALPHA").connected())
            feeder::give(c, "ALPHA", u8_plane(w, h, [&](int, int) { return random() % 4 == 0; }));
        if (auto* shape = dynamic_cast<shape_renderer*>(r.get())) {
            source.connect(c, "SSIZE");
            feeder::give(c, "SSIZE", u8_plane(w, h, [&](int, int) { return random() % 256; }));
            shape->menu("MODE").select(pick(0, 1));
            shape->number("ss.min").set_value(0, pick(1, 32));
            shape->number("ss.range").set_value(0, pick(0, 64));
        }
        if (dynamic_cast<dot_renderer*>(r.get()))
            c.menu("MODE").select(pick(0, 1));
        if (dynamic_cast<fiber_renderer*>(r.get())) {
            c.number("ANGLE").set_value(0, pick(0, 360));
            c.number("LENGTH").set_value(0, pick(1, 5));
        }
        if (dynamic_cast<cloud_renderer*>(r.get())) {
            c.number("RADIUS").set_value(0, pick(1, 32));
            c.number("SIZE.SHAPE").set_value(0, pick(1, 16));
            c.number("DENSITY").set_value(0, pick(1, 6));
            before = after = int(c.number("SIZE.SHAPE").value(0)) / 2 + 2;
        }
        if (wild) {
            // Beyond every range: marks may then leave the output area, but
            // never the image.
            for (const char* name : {"RADIUS", "SIZE.SHAPE", "DENSITY", "value"}) {
                c.number(name).set_minimum(0, -1e9);
                c.number(name).set_maximum(0, 1e9);
            }
            c.number("RADIUS").set_value(0, pick(-40, 40));
            c.number("SIZE.SHAPE").set_value(0, pick(-300, 300));
            c.number("DENSITY").set_value(0, pick(-3, 8));
            c.number("value").set_value(0, 0);
            c.number("value").set_maximum(0, pick(0, 1) ? -70000 : 200000);
        }
        std::string error;
        ASSERT_TRUE(c.prepare(error));
        ASSERT_TRUE(c.fire(error));
        if (!wild) {
            EXPECT_EQ(count_outside(small.output_area(), before, after), 0) << "round " << round;
        }
        c.reset();
        buffer_lock hold(small.image());
        fast_fill(small.image(), colour{0, 0, 128, 128});
    }
    install_frame_image(&frame);
}

TEST_F(Renderers, NoFrameImageOrNoRoomDrawsNothing) {
    install_frame_image(nullptr);
    rig<dot_renderer> dots(3, 3);
    run(dots.renderer);
    install_frame_image(&frame);
    frame.set_output_size(0, 0);
    rig<shape_renderer> shapes(3, 3);
    run(shapes.renderer);
    frame.set_output_size(40, 30); // smaller than twice the largest mark
    shapes.renderer.number("ss.range").set_value(0, 30);
    run(shapes.renderer);
    EXPECT_EQ(drawn_count(), 0);
}

// -------------------------------------------------------------- in a network

std::string write_effect(const std::string& text) {
    const char* base = std::getenv("ZOETRA_TEST_TMP");
    std::filesystem::path root = base ? base : std::filesystem::temp_directory_path();
    std::filesystem::create_directories(root);
    std::filesystem::path path = root / ("camera-" + std::to_string(getpid()) + ".zoml");
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
}

// A camera looking at a flat plane from above, feeding a surface: the
// plane's picture is a filled quadrilateral that starts at the output
// area's top-left corner and covers most of it.
TEST_F(Renderers, ACameraFeedingASurfaceDrawsThePlane) {
    component_factory factory;
    define_basic_components(factory);
    define_drawing_effect_components(factory);
    const std::string file = write_effect(R"(<effect type="Standard">
  <CUBE id="camera">
    <valuelist name="SIZE"><v>8</v><v>8</v><v>1</v></valuelist>
    <out name="X.OUT" id="camera.x"></out>
    <out name="Y.OUT" id="camera.y"></out>
    <out name="EYE.OUT" id="camera.eye"></out>
  </CUBE>
  <surface id="skin">
    <valuelist name="SIZE"><v>8</v><v>8</v><v>1</v></valuelist>
    <in name="X" idref="camera.x"></in>
    <in name="Y" idref="camera.y"></in>
    <in name="SORT" idref="camera.eye"></in>
  </surface>
</effect>
)");
    script effect(file, 1.0, factory);
    std::string error;
    ASSERT_TRUE(effect.load(error)) << error;
    ASSERT_TRUE(effect.start(error)) << error;
    ASSERT_TRUE(effect.run(error, false)) << error;
    std::filesystem::remove(file);
    const rect a = area();
    int left = 1000, top = 1000, right = 0, bottom = 0;
    for_each_drawn([&](int x, int y) {
        left = std::min(left, x), top = std::min(top, y);
        right = std::max(right, x), bottom = std::max(bottom, y);
    });
    EXPECT_LE(left - a.x, 2);
    EXPECT_LE(top - a.y, 2);
    // The last points sit 7/8 of the way across.
    EXPECT_NEAR(right - a.x, a.width * 7 / 8, 3);
    EXPECT_NEAR(bottom - a.y, a.height * 7 / 8, 3);
    EXPECT_EQ(at(a.x + a.width / 2, a.y + a.height / 2), red);
    effect.reset();
}

} // namespace
} // namespace zoetra
