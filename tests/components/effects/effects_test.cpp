// The effects: the point renderers (on a 400 x 400 frame image with a 350 x
// 250 output area), the camera, the crystal mosaic, the rotation, the wave
// generator and the colour space conversion.
#include "../basic/network.hpp"
#include "base/utility.hpp"
#include "components/effects/crystalize.hpp"
#include "components/effects/cube.hpp"
#include "components/effects/renderers.hpp"
#include "components/effects/rgb_hsv.hpp"
#include "components/effects/rotate.hpp"
#include "components/effects/wave.hpp"
#include "components/io/register.hpp"
#include "engine/numeric.hpp"
#include "raster/draw.hpp"
#include "raster/output_canvas.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <map>
#include <numeric>
#include <random>
#include <tuple>

namespace zoetra::testing {
namespace {

using namespace effects;
constexpr double infinity = std::numeric_limits<double>::infinity();

// ---- the point renderers -----------------------------------------------------

formula constant(unsigned v) {
    return [v](int, int) { return v; };
}

// Prepares and fires c; with a context, c draws on its canvas.
void run(component& c, const run_context* context = nullptr) {
    c.set_context(context);
    outcome done = c.prepare();
    if (done)
        done = c.fire();
    ASSERT_TRUE(done) << done.message();
}

// A component of w x h points whose inputs named in `fed` have a peer.
template <class R> struct rig : component_rig<R> {
    rig(int w, int h, std::initializer_list<const char*> fed = {}) {
        set_size(this->subject, "SIZE", w, h);
        for (const char* input : fed)
            this->listen(input);
    }
};

// A canvas with a 350 x 250 output area (cut to the work area), whose
// background the renderers draw over.
class frame_test : public ::testing::Test {
  protected:
    explicit frame_test(int work_width = 400, int work_height = 286)
        : canvas(std::uint16_t(work_width), std::uint16_t(work_height), colour{0, 0, 128, 128}) {}
    void SetUp() override {
        canvas.set_output_size(350, 250);
        program.random().seed(12345);
    }
    // Prepares and fires c as a component of a network drawing on the canvas.
    void run(component& c) { testing::run(c, &network); }

    // The whole canvas, where the renderers draw.
    rect area() { return canvas.image().window(); }
    colour at(int x, int y) {
        buffer_lock hold(canvas.image());
        return get_pixel(canvas.image(), std::int16_t(x), std::int16_t(y));
    }
    // Every drawn pixel, visited row by row.
    void for_each_drawn(const std::function<void(int x, int y)>& visit) {
        buffer& b = canvas.image();
        buffer_lock hold(b);
        for (int y = 0; y < b.height(); ++y)
            for (int x = 0; x < b.width(); ++x)
                if (is_visible(b.pixels()[std::size_t(y) * b.width() + x]))
                    visit(x, y);
    }
    int drawn_count() {
        int n = 0;
        for_each_drawn([&](int, int) { ++n; });
        return n;
    }
    // Drawn pixels outside r grown by `before` on the left and top and by
    // `after` on the right and bottom.
    int drawn_outside(const rect& r, int before, int after) {
        int n = 0;
        for_each_drawn([&](int x, int y) {
            n += x < r.x - before || y < r.y - before || x >= r.x + r.width + after ||
                 y >= r.y + r.height + after;
        });
        return n;
    }
    void clear() {
        buffer_lock hold(canvas.image());
        fast_fill(canvas.image(), colour{0, 0, 128, 128});
    }

    context program;
    output_canvas canvas;
    run_context network{&program, &canvas};
};

constexpr colour red{0, 255, 0, 0};
constexpr colour green{0, 0, 255, 0};
constexpr colour blue{0, 0, 0, 255};

std::string joined(component& c, bool ports) {
    std::string out;
    for (int i = 0; i < (ports ? c.port_count() : c.config_count()); ++i)
        out += std::string(out.empty() ? "" : " ") +
               (ports ? c.port_at(i).name() : c.config_at(i).name());
    return out;
}

// Effect files name settings and ports, so names and order are the file format.
TEST(DrawingEffects, FactoryNamesSettingsAndPortsInFileOrder) {
    context program;
    const component_factory& factory = program_factory();
    const std::string configs =
        "VALUE.RED VALUE.GREEN VALUE.BLUE VALUE.ALPHA value SIZE TYPE.COL TYPE";
    const std::string ports = "RED GREEN BLUE ALPHA X Y SORT";
    const struct {
        const char *type, *name;
        std::string configs, ports;
    } members[] = {
        {"dot", "DOT", configs + " MODE", ports},
        {"SHAPE", "SHAPE", configs + " value.size TYPE.size MODE ss.min ss.range",
         ports + " SSIZE"},
        {"Fiber", "FIBER", configs + " ANGLE LENGTH", ports},
        {"surface", "SURFACE", configs, ports},
        {"cloud", "CLOUD", configs + " RADIUS SIZE.SHAPE DENSITY", ports},
        {"CUBE", "CUBE",
         "VALUE SIZE TYPE VALUE.OUT TYPE.OUT CAM.THETA CAM.PHI CAM.RHO CAM.ZD SIZE.CONTROL "
         "VALUE.CONTROL TYPE.CONTROL",
         "CONTROL.cube.phi CONTROL.theta CONTROL.rho Z.IN X.OUT Y.OUT EYE.OUT"},
    };
    for (const auto& e : members) {
        auto c = factory.create(e.type, program);
        ASSERT_TRUE(c) << e.type;
        EXPECT_EQ(c->name(), e.name);
        EXPECT_EQ(joined(*c, false), e.configs);
        EXPECT_EQ(joined(*c, true), e.ports);
    }
}

class Renderers : public frame_test {
  protected:
    // Two points at the same place, green visited first: the one with the
    // smaller key is drawn last, and with equal keys the one visited last.
    template <class R> colour last_drawn_of_two(const list& keys) {
        rig<R> two(2, 1, {"X", "Y", "SORT", "GREEN", "BLUE", "RED"});
        two.give("X", plane("UINT16", 2, 1, constant(30000)));
        two.give("Y", plane("UINT16", 2, 1, constant(30000)));
        two.give("RED", plane("UINT8", 2, 1, constant(0)));
        two.give("GREEN", plane("UINT8", 2, 1, list{255, 0}));
        two.give("BLUE", plane("UINT8", 2, 1, list{0, 255}));
        two.give("SORT", plane("UINT16", 2, 1, keys));
        if constexpr (std::is_same_v<R, cloud_renderer>) {
            // Big drops close to the point: both points cover its pixel.
            number_named(two.subject, "RADIUS").set_value(0, 1);
            number_named(two.subject, "SIZE.SHAPE").set_value(0, 16);
        }
        run(two.subject);
        return at(area().x + 30000 * area().width / 65535,
                  area().y + 30000 * area().height / 65535);
    }
};

// Nothing connected: a W x H grid of red dots at the centres of equal cells.
TEST_F(Renderers, UnconnectedPositionsMakeAGridOfCellCentres) {
    rig<dot_renderer> dots(4, 3);
    run(dots.subject);
    std::vector<std::pair<int, int>> got;
    for_each_drawn([&](int x, int y) { got.emplace_back(x, y); });
    ASSERT_EQ(got.size(), 12u);
    for (int i = 0; i < 12; ++i) {
        EXPECT_NEAR(got[i].first, area().x + area().width * (2 * (i % 4) + 1) / 8.0, 1.0) << i;
        EXPECT_NEAR(got[i].second, area().y + area().height * (2 * (i / 4) + 1) / 6.0, 1.0) << i;
        EXPECT_EQ(at(got[i].first, got[i].second), red);
    }
}

TEST_F(Renderers, APointWithAlphaIsNeverDrawn) {
    auto alpha = [](int c, int r) { return unsigned(c == r ? 1 : c == 3 && r == 0 ? 255 : 0); };
    rig<dot_renderer> dots(4, 3, {"ALPHA"});
    dots.give("ALPHA", plane("UINT8", 4, 3, alpha));
    run(dots.subject);
    EXPECT_EQ(drawn_count(), 12 - 4);

    clear();
    rig<shape_renderer> shapes(4, 3, {"ALPHA", "SSIZE"});
    shapes.give("ALPHA", plane("UINT8", 4, 3, alpha));
    shapes.give("SSIZE", plane("UINT8", 4, 3, constant(255)));
    run(shapes.subject);
    // Marks of size 9 in an area shrunk by 9: each centred on its point.
    const rect a = area();
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c) {
            const int x = a.x + 9 + (32767 * (2 * c + 1) / 4) * (a.width - 18) / 65535;
            const int y = a.y + 9 + (32767 * (2 * r + 1) / 3) * (a.height - 18) / 65535;
            EXPECT_EQ(at(x, y).t & 1, alpha(c, r) == 0 ? 0 : 1) << c << "," << r; // drawn or not
        }
}

// "INDEX" mode puts element (c, r) at (c, r) of the output area, whatever the positions say.
TEST_F(Renderers, IndexModeIgnoresPositions) {
    rig<dot_renderer> dots(5, 3, {"X", "Y", "BLUE"});
    menu_named(dots.subject, "MODE").select(1);
    dots.give("X", plane("UINT16", 5, 3, constant(65535)));
    dots.give("Y", plane("UINT16", 5, 3, constant(0)));
    dots.give("BLUE", plane("UINT8", 5, 3, [](int c, int r) { return unsigned(10 * c + r); }));
    run(dots.subject);
    EXPECT_EQ(drawn_count(), 15);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 5; ++c)
            EXPECT_EQ(at(area().x + c, area().y + r),
                      (colour{0, 255, 0, std::uint8_t(10 * c + r)}));
}

TEST_F(Renderers, TheNearerOfTwoPointsAtOnePlaceStaysVisible) {
    const struct {
        const char* name;
        list keys;
        colour visible;
    } cases[] = {{"green nearer", {10, 60000}, green},
                 {"blue nearer", {60000, 10}, blue},
                 {"equal keys: the later point", {500, 500}, blue},
                 {"equal keys at both ends", {65535, 65535}, blue},
                 {"equal zero keys", {0, 0}, blue}};
    for (const auto& c : cases) {
        EXPECT_EQ(last_drawn_of_two<dot_renderer>(c.keys), c.visible) << c.name;
        EXPECT_EQ(last_drawn_of_two<shape_renderer>(c.keys), c.visible) << c.name;
        EXPECT_EQ(last_drawn_of_two<cloud_renderer>(c.keys), c.visible) << c.name;
    }
}

// Many points on one pixel: the depth order is largest key first and, among
// equal keys, the order of the visit, row by row.
TEST_F(Renderers, EqualKeysKeepTheOrderOfTheVisit) {
    const int w = 7, h = 5;
    for (unsigned seed = 1; seed <= 8; ++seed) {
        std::mt19937 random(seed);
        list keys(w * h);
        for (unsigned& k : keys)
            k = random() % 4 * 20000; // few distinct keys, many ties
        // The point drawn last: the first-visited point of the smallest key
        // is drawn before the later ones of that key.
        std::size_t last = 0;
        for (std::size_t i = 1; i < keys.size(); ++i)
            if (keys[i] <= keys[last])
                last = i;
        rig<dot_renderer> dots(w, h, {"X", "Y", "SORT", "RED", "GREEN", "BLUE"});
        dots.give("X", plane("UINT16", w, h, constant(30000)));
        dots.give("Y", plane("UINT16", w, h, constant(30000)));
        dots.give("SORT", plane("UINT16", w, h, keys));
        dots.give("RED", plane("UINT8", w, h, [](int c, int) { return unsigned(c * 30); }));
        dots.give("GREEN", plane("UINT8", w, h, [](int, int r) { return unsigned(r * 50); }));
        dots.give("BLUE", plane("UINT8", w, h, constant(7)));
        run(dots.subject);
        const int c = int(last % w), r = int(last / w);
        EXPECT_EQ(
            at(area().x + 30000 * area().width / 65535, area().y + 30000 * area().height / 65535),
            (colour{0, std::uint8_t(c * 30), std::uint8_t(r * 50), 7}))
            << "seed " << seed;
    }
}

// A cell's depth is the mean of its four corners, not its first point's.
TEST_F(Renderers, SurfaceCellsSortByTheMeanOfTheirCorners) {
    rig<surface_renderer> s(3, 2, {"X", "Y", "SORT", "RED", "GREEN", "BLUE"});
    // Both cells cover the same rectangle: columns 0 and 2 coincide.
    s.give("X", plane("UINT16", 3, 2, [](int c, int) { return c == 1 ? 50000u : 10000u; }));
    s.give("Y", plane("UINT16", 3, 2, [](int, int r) { return r == 0 ? 10000u : 50000u; }));
    s.give("RED", plane("UINT8", 3, 2, constant(0)));
    s.give("GREEN", plane("UINT8", 3, 2, list{0, 255, 0, 0, 255, 0}));
    s.give("BLUE", plane("UINT8", 3, 2, list{255, 0, 0, 255, 0, 0}));
    // Cell 0 (blue): corners 100, 0, 0, 100, mean 50. Cell 1 (green): corners
    // 0, 200, 200, 0, mean 100, although its own point's key is the smaller.
    s.give("SORT", plane("UINT16", 3, 2, list{100, 0, 200, 100, 0, 200}));
    run(s.subject);
    EXPECT_EQ(at(area().x + area().width * 30000 / 65535, area().y + area().height * 30000 / 65535),
              blue);
}

// Every drawn cell is fill_quad of its four corners' screen positions, the
// cells taken largest mean key first and, among equal keys, in visiting
// order: for cells a pixel or two wide and for ones across the picture.
TEST_F(Renderers, SurfaceCellsAreTheirQuadsInDepthOrder) {
    const int w = 9, h = 7;
    for (unsigned seed = 1; seed <= 8; ++seed) {
        std::mt19937 random(seed);
        list xs(w * h), ys(w * h), keys(w * h), reds(w * h), alphas(w * h);
        // Up to seed 6, even seeds: a gently bent grid; odd ones: corners
        // anywhere. Seeds 7 and 8: a grid finer than the pixels, whose cells
        // mostly have all four corners on one pixel.
        auto coordinate = [&](int along) -> unsigned {
            if (seed > 6)
                return unsigned(30000 + 40 * along + random() % 20);
            return seed % 2 == 0 ? unsigned(20000 + 300 * along + random() % 200)
                                 : random() % 65536;
        };
        for (int i = 0; i < w * h; ++i) {
            const int c = i % w, r = i / w;
            xs[i] = coordinate(c);
            ys[i] = coordinate(r);
            keys[i] = random() % 5 * 9000;
            reds[i] = random() % 256;
            alphas[i] = random() % 6 == 0 ? 1 : 0;
        }
        clear();
        rig<surface_renderer> s(w, h, {"X", "Y", "SORT", "RED", "GREEN", "BLUE", "ALPHA"});
        s.give("X", plane("UINT16", w, h, xs));
        s.give("Y", plane("UINT16", w, h, ys));
        s.give("SORT", plane("UINT16", w, h, keys));
        s.give("RED", plane("UINT8", w, h, reds));
        s.give("GREEN", plane("UINT8", w, h, constant(seed)));
        s.give("BLUE", plane("UINT8", w, h, constant(9)));
        s.give("ALPHA", plane("UINT8", w, h, alphas));
        run(s.subject);

        buffer& image = canvas.image();
        buffer expected(image.width(), image.height(), colour{});
        buffer_lock hold_expected(expected);
        fast_fill(expected, colour{0, 0, 128, 128});
        const rect a = area();
        auto screen_x = [&](unsigned v) {
            return std::int16_t(a.x + std::int64_t(v) * a.width / 65535);
        };
        auto screen_y = [&](unsigned v) {
            return std::int16_t(a.y + std::int64_t(v) * a.height / 65535);
        };
        struct cell {
            unsigned key;
            int c, r;
        };
        std::vector<cell> cells;
        for (int r = 0; r + 1 < h; ++r)
            for (int c = 0; c + 1 < w; ++c)
                if (alphas[r * w + c] == 0) {
                    const int i = r * w + c;
                    cells.push_back(
                        {(keys[i] + keys[i + 1] + keys[i + w + 1] + keys[i + w]) / 4, c, r});
                }
        std::stable_sort(cells.begin(), cells.end(),
                         [](const cell& x, const cell& y) { return x.key > y.key; });
        const pixel_canvas canvas(expected);
        for (const cell& k : cells) {
            const int i = k.r * w + k.c;
            const int corners[4] = {i, i + 1, i + w + 1, i + w};
            std::int16_t qx[4], qy[4];
            for (int j = 0; j < 4; ++j) {
                qx[j] = screen_x(xs[corners[j]]);
                qy[j] = screen_y(ys[corners[j]]);
            }
            fill_quad(canvas, qx, qy, colour{0, std::uint8_t(reds[i]), std::uint8_t(seed), 9});
        }
        buffer_lock hold(image);
        const std::size_t pixels = std::size_t(image.width()) * image.height();
        EXPECT_TRUE(std::equal(image.pixels(), image.pixels() + pixels, expected.pixels()))
            << "seed " << seed;
    }
}

TEST_F(Renderers, SurfaceNeedsTwoPointsEachWay) {
    for (auto [w, h] : {std::pair{1, 5}, std::pair{5, 1}, std::pair{1, 1}}) {
        rig<surface_renderer> s(w, h);
        run(s.subject);
        EXPECT_EQ(s.subject.record_count(), 0u);
    }
    EXPECT_EQ(drawn_count(), 0);

    // A 2 x 2 grid makes one filled cell between the four cell centres.
    rig<surface_renderer> s(2, 2);
    run(s.subject);
    const rect a = area();
    const int left = a.x + 16383 * a.width / 65535, right = a.x + 49150 * a.width / 65535;
    const int top = a.y + 16383 * a.height / 65535, bottom = a.y + 49150 * a.height / 65535;
    const rect cell{std::int16_t(left), std::int16_t(top), std::uint16_t(right - left),
                    std::uint16_t(bottom - top)};
    EXPECT_EQ(drawn_outside(cell, 0, 1), 0);
    EXPECT_GE(drawn_count(), (right - left) * (bottom - top));
    s.subject.reset();
    EXPECT_EQ(s.subject.record_count(), 0u);
}

// Sizes run from "ss.min" at "SSIZE" 0 to "ss.min" + "ss.range" at 255.
TEST_F(Renderers, ShapeSizesFollowTheSizePlane) {
    const struct {
        int smallest, range;
        unsigned ssize;
        bool circle;
        int pixels;
    } cases[] = {{3, 8, 0, false, 3 * 3},   {3, 8, 255, false, 11 * 11},
                 {3, 8, 128, false, 7 * 7}, // 3 + 128 x 8 / 255
                 {1, 8, 0, true, 1},        {0, 8, 0, true, 0},
                 {0, 8, 0, false, 0},       {0, 0, 255, true, 0}};
    for (const auto& c : cases) {
        clear();
        rig<shape_renderer> one(1, 1, {"SSIZE"});
        number_named(one.subject, "ss.min").set_minimum(0, 0);
        number_named(one.subject, "ss.min").set_value(0, c.smallest);
        number_named(one.subject, "ss.range").set_value(0, c.range);
        menu_named(one.subject, "MODE").select(c.circle ? 0 : 1);
        one.give("SSIZE", plane("UINT8", 1, 1, constant(c.ssize)));
        run(one.subject);
        EXPECT_EQ(drawn_count(), c.pixels) << c.smallest << " " << c.range << " " << c.ssize;
    }
}

// At 90 degrees every segment climbs five rows and moves at most two
// columns, so it stays within 22.5 degrees of the vertical.
TEST_F(Renderers, FibersAtNinetyDegreesGoUp) {
    for (unsigned seed = 1; seed <= 20; ++seed) {
        clear();
        program.random().seed(seed);
        rig<fiber_renderer> f(1, 1);
        number_named(f.subject, "ANGLE").set_value(0, 90);
        number_named(f.subject, "LENGTH").set_value(0, 5);
        run(f.subject);
        std::vector<std::vector<int>> columns_of_row(400);
        for_each_drawn([&](int x, int y) { columns_of_row[std::size_t(y)].push_back(x); });
        int x = area().x + 25 + 32767 * (area().width - 50) / 65535;
        const int y = area().y + 25 + 32767 * (area().height - 50) / 65535;
        ASSERT_EQ(columns_of_row[std::size_t(y)], std::vector<int>{x});
        for (int row = y - 1; row >= y - 25; --row) {
            const auto& columns = columns_of_row[std::size_t(row)];
            ASSERT_EQ(columns.size(), 1u) << "seed " << seed << " row " << row;
            if ((y - row) % 5 == 0) { // a segment's end
                EXPECT_LE(std::abs(columns[0] - x), 2) << "seed " << seed;
                x = columns[0];
            }
        }
        EXPECT_EQ(drawn_count(), 26);
    }
}

// (Marks too large for the output area are among the random inputs below.)
TEST_F(Renderers, NoFrameImageOrNoOutputAreaDrawsNothing) {
    rig<dot_renderer> dots(3, 3);
    testing::run(dots.subject); // outside a network: no canvas
    canvas.set_output_size(0, 0);
    rig<shape_renderer> shapes(3, 3);
    run(shapes.subject);
    EXPECT_EQ(drawn_count(), 0);
}

// Random planes and settings, some far beyond their ranges, on a frame image
// whose output area reaches its left and right edges. Marks stay in the
// output area (positions of 65535 land one past it; cloud drops reach over
// by their size), and nothing is written outside the image.
class RenderersOnASmallImage : public frame_test {
  protected:
    RenderersOnASmallImage() : frame_test(120, 36) {}
};

TEST_F(RenderersOnASmallImage, RandomInputsStayInTheOutputArea) {
    ASSERT_EQ(area().width, 120);
    const component_factory& factory = program_factory();
    std::mt19937 random(99);
    auto pick = [&](int lo, int hi) { return lo + int(random() % unsigned(hi - lo + 1)); };
    auto extreme = [&](int, int) {
        const unsigned v = random() % 4;
        return v == 0 ? 0u : v == 1 ? 65535u : unsigned(random() % 65536);
    };
    for (int round = 0; round < 250; ++round) {
        const int w = pick(1, 24), h = pick(1, 24);
        auto made = factory.create(
            std::array{"dot", "SHAPE", "Fiber", "surface", "cloud"}[round % 5], program);
        component& c = *made;
        auto has = [&](const std::string& name) {
            return (" " + joined(c, false) + " ").find(" " + name + " ") != std::string::npos;
        };
        set_size(c, "SIZE", w, h);
        helper source(true);
        int feed = 0;
        auto feed_with = [&](const char* input, matrix_ptr m) {
            connect(source.at(++feed), port_of(c, input));
            hold(c, input, std::move(m));
        };
        for (const char* input : {"X", "Y", "SORT"})
            if (random() % 3 != 0)
                feed_with(input, plane("UINT16", w, h, extreme));
        if (random() % 3 != 0)
            feed_with("ALPHA", plane("UINT8", w, h, [&](int, int) { return random() % 4 == 0; }));
        if (has("ss.min"))
            feed_with("SSIZE", plane("UINT8", w, h, [&](int, int) { return random() % 256; }));
        if (has("MODE"))
            menu_named(c, "MODE").select(pick(0, 1));
        const std::tuple<const char*, int, int> settings[] = {
            {"ss.min", 1, 32}, {"ss.range", 0, 64},   {"ANGLE", 0, 360}, {"LENGTH", 1, 5},
            {"RADIUS", 1, 32}, {"SIZE.SHAPE", 1, 16}, {"DENSITY", 1, 6}};
        for (auto [name, lo, hi] : settings)
            if (has(name))
                number_named(c, name).set_value(0, pick(lo, hi));
        // Cloud drops reach over by their size; every other cloud goes beyond
        // every range, when its marks may leave the output area but never the image.
        int before = 0, after = 1;
        if (has("SIZE.SHAPE"))
            before = after = int(number_named(c, "SIZE.SHAPE").value(0)) / 2 + 2;
        if (round % 10 == 9) {
            for (const char* name : {"RADIUS", "SIZE.SHAPE", "DENSITY", "value"}) {
                number_named(c, name).set_minimum(0, -1e9);
                number_named(c, name).set_maximum(0, 1e9);
            }
            number_named(c, "RADIUS").set_value(0, pick(-40, 40));
            number_named(c, "SIZE.SHAPE").set_value(0, pick(-300, 300));
            number_named(c, "DENSITY").set_value(0, pick(-3, 8));
            number_named(c, "value").set_value(0, 0);
            number_named(c, "value").set_maximum(0, pick(0, 1) ? -70000 : 200000);
            before = after = 1000;
        }
        run(c);
        EXPECT_EQ(drawn_outside(area(), before, after), 0) << "round " << round;
        c.reset();
        clear();
    }
}

// ---- the camera ---------------------------------------------------------------

using planes = std::vector<list>; // X.OUT, Y.OUT and EYE.OUT; empty when nothing was sent

// A camera of w x h heights whose outputs go to the probe.
struct cube_rig : component_rig<cube> {
    cube_rig(int w, int h) : width(w), height(h) {
        set_size(subject, "SIZE", w, h);
        watch("X.OUT", 1);
        watch("Y.OUT", 2);
        watch("EYE.OUT", 3);
        begin("X.OUT");
    }
    // Hands the stored heights and control values to the camera and fires it.
    planes fire() {
        for (int k = 1; k <= 3; ++k)
            tap.at(k).release();
        for (const auto& [input, value] : controls)
            give(input, plane("UINT8", 1, 1, list{value}));
        if (z)
            give("Z.IN", z->clone());
        fire_once();
        if (got(1) == nullptr)
            return {};
        return {values(1), values(2), values(3)};
    }
    // Every fire gives the control input the value c.
    void control(const std::string& input, unsigned c) {
        if (!port_of(subject, input).connected())
            listen(input);
        controls[input] = c;
    }
    void heights(const std::string& type, const formula& f) {
        if (!port_of(subject, "Z.IN").connected())
            listen("Z.IN");
        z = plane(type, width, height, f);
    }
    void set(const char* name, double v) { number_named(subject, name).set_value(0, v); }

    int width, height;
    std::map<std::string, unsigned> controls;
    matrix_ptr z;
};

int largest_difference(const list& a, const list& b) {
    int worst = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        worst = std::max(worst, std::abs(int(a[i]) - int(b[i])));
    return worst;
}

// At the initial camera the eye looks straight down the height axis: a flat
// plane at height 0 is nearest and fills the box across, one at full height
// is farther, so smaller and centred; the heights only move the eye distance.
TEST(Cube, FlatPlanesProjectInsideTheCubesBox) {
    cube_rig rig(16, 16);
    rig.heights("UINT16", constant(0));
    const planes bottom = rig.fire();
    ASSERT_EQ(bottom.size(), 3u);
    EXPECT_EQ(bottom[2], list(256, 0));
    // Column 0 lies on the cube's edge (the square is turned a hair off 270
    // degrees: the degree factor is not exactly pi / 180); the last column is
    // 15/16 of the way.
    EXPECT_LT(std::ranges::min(bottom[0]), 200u);
    EXPECT_LT(std::ranges::min(bottom[1]), 200u);
    EXPECT_GT(std::ranges::max(bottom[0]), 60000u);
    EXPECT_GT(std::ranges::max(bottom[1]), 60000u);

    rig.heights("UINT16", constant(65535));
    const planes top = rig.fire();
    ASSERT_EQ(top.size(), 3u);
    EXPECT_EQ(top[2], list(256, 65535));
    EXPECT_GT(std::ranges::min(top[0]), 0u);
    EXPECT_LT(std::ranges::max(top[0]), std::ranges::max(bottom[0]));
    // Farther is smaller, about the same centre.
    EXPECT_LT(std::abs(int(std::ranges::min(top[0]) + std::ranges::max(top[0])) -
                       int(std::ranges::min(bottom[0]) + std::ranges::max(bottom[0]))),
              65535 / 16);
}

// 255 / 255 x 360 degrees is 6.28272 after scaling: exactly the setting 360
// and within 0.0005 of a full turn, so the view barely moves from 0.
TEST(Cube, ControlsAtTheirEndsEqualTheSettings) {
    auto slope = [](int c, int r) { return unsigned(c * 3000 + r * 2000); };
    cube_rig rig(12, 10);
    rig.heights("UINT16", slope);
    rig.set("CAM.PHI", 35);
    rig.set("CAM.THETA", 360);
    const planes at_360 = rig.fire();
    rig.set("CAM.THETA", 0);
    const planes at_0 = rig.fire();
    rig.control("CONTROL.theta", 255);
    const planes controlled = rig.fire();
    ASSERT_TRUE(!at_360.empty() && !at_0.empty() && !controlled.empty());
    EXPECT_EQ(controlled, at_360);
    EXPECT_NE(controlled, at_0);
    EXPECT_LE(largest_difference(controlled[0], at_0[0]), 65535 * 0.0005 * 2);
    EXPECT_LE(largest_difference(controlled[1], at_0[1]), 65535 * 0.0005 * 2);

    // Each control replaces its own setting.
    rig.set("CAM.RHO", 100);
    rig.control("CONTROL.cube.phi", 0);
    rig.control("CONTROL.rho", 255);
    cube_rig set(12, 10);
    set.heights("UINT16", slope);
    set.set("CAM.THETA", 360);
    set.set("CAM.PHI", 0);
    number_named(set.subject, "CAM.RHO").set_maximum(0, 360);
    set.set("CAM.RHO", 360);
    EXPECT_EQ(rig.fire(), set.fire());
}

TEST(Cube, EightAndSixteenBitHeightsScaledToTheirMaximaAgree) {
    auto level = [](int c, int r) { return unsigned((c * 37 + r * 91) % 256); };
    cube_rig narrow(20, 14), wide(20, 14);
    menu_named(narrow.subject, "TYPE").select(0);
    number_named(narrow.subject, "VALUE").set_maximum(0, 255);
    narrow.heights("UINT8", level);
    wide.heights("UINT16", [&](int c, int r) { return level(c, r) * 257; });
    narrow.set("CAM.PHI", 50);
    wide.set("CAM.PHI", 50);
    const planes a = narrow.fire();
    ASSERT_FALSE(a.empty());
    EXPECT_EQ(a, wide.fire());
}

// A camera that cannot project (the eye inside the cube, a control range of
// 0, a screen distance of 0) sends nothing for that frame.
TEST(Cube, ACameraThatCannotProjectSendsNothing) {
    cube_rig rig(8, 8);
    rig.control("CONTROL.rho", 0); // the eye at the centre
    EXPECT_TRUE(rig.fire().empty());
    for (int i = 0; i < rig.subject.port_count(); ++i)
        EXPECT_FALSE(rig.subject.port_at(i).holds_matrix());
    rig.control("CONTROL.rho", 10); // 0.2464: still inside (corners reach 0.866)
    EXPECT_TRUE(rig.fire().empty());
    rig.control("CONTROL.rho", 60); // 1.4786: outside
    EXPECT_FALSE(rig.fire().empty());
    number_named(rig.subject, "VALUE.CONTROL").set_maximum(0, 0); // c / 0
    rig.control("CONTROL.rho", 0);
    EXPECT_TRUE(rig.fire().empty());

    cube_rig flat(8, 8);
    number_named(flat.subject, "CAM.ZD").set_minimum(0, 0);
    flat.set("CAM.ZD", 0);
    EXPECT_TRUE(flat.fire().empty());
}

// Random cameras, some of them absurd, and random heights: every fire
// succeeds, and every sane camera projects.
TEST(Cube, RandomCamerasNeverFail) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> any(-1e6, 1e6);
    cube_rig rig(9, 7);
    for (const char* name : {"CAM.THETA", "CAM.PHI", "CAM.RHO", "CAM.ZD"}) {
        number_named(rig.subject, name).set_minimum(0, -1e300);
        number_named(rig.subject, name).set_maximum(0, 1e300);
    }
    int projecting = 0;
    for (int round = 0; round < 300; ++round) {
        const bool sane = round % 2 == 0;
        rig.set("CAM.THETA", sane ? random() % 361 : any(random));
        rig.set("CAM.PHI", sane ? int(random() % 361) - 180 : any(random));
        rig.set("CAM.RHO", sane ? 100 + random() % 101 : any(random));
        rig.set("CAM.ZD", sane ? 50 + random() % 151 : any(random));
        // The heights stay within what the port's audit lets through.
        number_named(rig.subject, "VALUE").set_maximum(0, sane ? 65535 : any(random));
        const unsigned top = truncate_to_u16(number_named(rig.subject, "VALUE").maximum(0));
        rig.heights("UINT16", [&](int, int) { return unsigned(random() % (top + 1)); });
        const bool projected = !rig.fire().empty();
        EXPECT_TRUE(projected || !sane) << "round " << round;
        projecting += projected;
    }
    EXPECT_GT(projecting, 150);
}

// Every output is floor((v - least) x 65535 / span) of project()'s value,
// with least and span over the eight corners, kept to 0..65535: the camera's
// shortcuts change no element, corners and edges included.
TEST(Cube, EveryOutputIsTheScaledProjection) {
    std::mt19937 random(11);
    const int w = 47, h = 31;
    cube_rig rig(w, h);
    long checked = 0;
    for (int round = 0; round < 40; ++round) {
        // Every fourth camera without tilt, as the flag's.
        const double theta = random() % 3601 / 10.0;
        const double phi = round % 4 == 0 ? 0.0 : int(random() % 361) - 180.0;
        const double rho = 100 + random() % 101, zd = 50 + random() % 151;
        rig.set("CAM.THETA", theta);
        rig.set("CAM.PHI", phi);
        rig.set("CAM.RHO", rho);
        rig.set("CAM.ZD", zd);
        list heights;
        rig.heights("UINT16", [&](int c, int r) {
            const unsigned z = (c + r) % 5 == 0 ? 65535 * (r % 2) : unsigned(random() % 65536);
            heights.push_back(z);
            return z;
        });
        const planes got = rig.fire();
        ASSERT_EQ(got.size(), 3u) << round;
        // The settings as the camera holds them (kept to their ranges).
        auto held = [&](const char* name) { return number_named(rig.subject, name).value(0); };
        const camera cam(held("CAM.THETA") * camera_degree, held("CAM.PHI") * camera_degree,
                         held("CAM.RHO") * camera_degree, held("CAM.ZD"));
        double least[3] = {1e300, 1e300, 1e300}, most[3] = {-1e300, -1e300, -1e300};
        for (int i = 0; i < 8; ++i) {
            const projection p = project(cam, i & 1, (i >> 1) & 1, (i >> 2) & 1);
            const double v[3] = {p.screen_x, p.screen_y, p.eye};
            for (int k = 0; k < 3; ++k) {
                least[k] = std::min(least[k], v[k]);
                most[k] = std::max(most[k], v[k]);
            }
        }
        for (int r = 0; r < h; ++r)
            for (int c = 0; c < w; ++c) {
                const std::size_t i = std::size_t(r) * w + c;
                const projection p =
                    project(cam, double(c) / w, double(r) / h, heights[i] / 65535.0);
                const double v[3] = {p.screen_x, p.screen_y, p.eye};
                for (int k = 0; k < 3; ++k) {
                    const std::int64_t t =
                        floor_to_int64((v[k] - least[k]) * 65535 / (most[k] - least[k]));
                    ASSERT_EQ(got[k][i], unsigned(std::clamp<std::int64_t>(t, 0, 65535)))
                        << "round " << round << " output " << k << " at " << c << "," << r;
                    ++checked;
                }
            }
    }
    EXPECT_EQ(checked, 40L * w * h * 3);
}

list counting(std::size_t n, unsigned first = 0) {
    list v(n);
    std::iota(v.begin(), v.end(), first);
    return v;
}

// ---- the crystal mosaic -----------------------------------------------------

struct mosaic_rig : component_rig<crystalize> {
    explicit mosaic_rig(const char* type = "UINT8", bool controlled = false) : type(type) {
        listen("IN.1");
        watch("OUT.1", 1);
        if (controlled)
            listen("CONTROL.CS");
        menu_named(subject, "TYPE").select_by_name(type);
    }
    mosaic_rig& shape(int w, int h, double crystal) {
        width = w;
        height = h;
        set_size(subject, "SIZE", w, h);
        number_named(subject, "CRYSTAL SIZE").set_value(0, crystal);
        begin("OUT.1");
        return *this;
    }
    list run(const list& in) {
        give("IN.1", plane(type, width, height, in));
        fire_once();
        return values(1);
    }
    void control(unsigned c) { give("CONTROL.CS", plane("UINT8", 1, 1, {c})); }
    const char* type;
    int width = 1, height = 1;
};

TEST(Crystalize, BlocksCutToThePictureTakeTheirTruncatedMean) {
    EXPECT_EQ(mosaic_rig().shape(5, 3, 1).run(counting(15)), counting(15));
    EXPECT_EQ(mosaic_rig().shape(2, 2, 2).run({1, 2, 2, 2}), list(4, 1)); // 7 / 4
    mosaic_rig wide("UINT16");
    EXPECT_EQ(wide.shape(2, 2, 2).run({60000, 60001, 65535, 65535}), list(4, 62767));
    mosaic_rig zero; // a block size of 256 is 0 in 8 bits and counts as 1
    number_named(zero.subject, "CRYSTAL SIZE").set_maximum(0, 1000);
    EXPECT_EQ(zero.shape(3, 1, 256).run({5, 6, 7}), (list{5, 6, 7}));
    // Edge blocks are cut to the picture. W = 10, H = 6, s = 4: blocks 4, 4
    // and 2 wide, 4 and 2 high; element x + 10 y.
    list expected; // block means 16.5, 20.5 and 23.5 (8.5 + 15), then 46.5, 50.5 and 53.5
    for (unsigned y = 0; y < 6; ++y)
        for (unsigned x = 0; x < 10; ++x)
            expected.push_back((y < 4 ? 16 : 46) + (x < 4 ? 0 : x < 8 ? 4 : 7));
    EXPECT_EQ(mosaic_rig().shape(10, 6, 4).run(counting(60)), expected);
}

TEST(Crystalize, ControlGrowsTheBlockFromOneToTheSettingPlusOne) {
    mosaic_rig r("UINT8", true);
    number_named(r.subject, "VALUE.CONTROL").set_maximum(0, 255);
    r.shape(5, 5, 4);
    r.control(0);
    EXPECT_EQ(r.run(counting(25)), counting(25));
    r.control(255);
    EXPECT_EQ(r.subject.block_size(), 5);
    EXPECT_EQ(r.run(counting(25)), list(25, 12));
    // A control maximum of 0 gives no scale: the setting alone decides.
    mosaic_rig unscaled("UINT8", true);
    number_named(unscaled.subject, "VALUE.CONTROL").set_maximum(0, 0);
    unscaled.shape(4, 4, 3).control(0);
    EXPECT_EQ(unscaled.subject.block_size(), 3);
}

TEST(Crystalize, OnlyChannelsWithInputsMakeMosaics) {
    mosaic_rig r;
    r.watch("OUT.2", 2); // no input: its port sends the fill value
    r.listen("IN.3");    // no output: made and dropped
    number_named(r.subject, "VALUE").set_value(0, 8);
    r.shape(2, 1, 2).give("IN.3", plane("UINT8", 2, 1, {1, 1}));
    EXPECT_EQ(r.run({10, 20}), (list{15, 15}));
    EXPECT_EQ(r.values(2), (list{8, 8}));
}

// ---- the rotation ------------------------------------------------------------

// out(x, y) = in(w - 1 - y, x): a quarter turn of a w x w picture.
list quarter_turned(const list& in, int w) {
    list out(in.size());
    for (int y = 0; y < w; ++y)
        for (int x = 0; x < w; ++x)
            out[std::size_t(y * w + x)] = in[std::size_t(x * w + w - 1 - y)];
    return out;
}

struct rotate_rig : component_rig<rotate> {
    // The channels given are active: input fed, output watched by the probe.
    explicit rotate_rig(std::initializer_list<int> channels, const char* type = "UINT16") {
        for (int k : channels) {
            listen("IN." + std::to_string(k));
            watch("OUT." + std::to_string(k), k);
        }
        menu_named(subject, "TYPE").select_by_name(type);
    }
    rotate_rig& sizes(int wi, int hi, int wo, int ho) {
        set_size(subject, "SIZE.IN", wi, hi);
        set_size(subject, "SIZE.OUT", wo, ho);
        begin("OUT.1");
        return *this;
    }
    list turn(double degrees, int w, int h, const list& in, int k = 1) {
        number_named(subject, "ROTATE_ANGLE").set_value(0, degrees);
        give("IN." + std::to_string(k),
             plane(menu_named(subject, "TYPE").selected_name(), w, h, in));
        fire_once();
        return values(k);
    }
};

TEST(Rotate, ZeroFullQuarterAndNotANumberTurns) {
    rotate_rig copy({1});
    copy.sizes(5, 3, 5, 3);
    for (double angle : {0, 360})
        EXPECT_EQ(copy.turn(angle, 5, 3, counting(15, 1000)), counting(15, 1000)) << angle;
    for (int w : {4, 5}) {
        rotate_rig r({1});
        r.sizes(w, w, w, w);
        const list in = counting(std::size_t(w * w), 1);
        EXPECT_EQ(r.turn(90, w, w, in), quarter_turned(in, w)) << w << " x " << w;
        list picture = in;
        for (int i = 0; i < 4; ++i)
            picture = r.turn(90, w, w, picture);
        EXPECT_EQ(picture, in);
    }
    // An angle that is not a number still samples inside the input.
    rotate_rig odd({1});
    number_named(odd.subject, "ROTATE_ANGLE").set_maximum(0, infinity);
    const list out = odd.sizes(3, 2, 4, 4).turn(infinity, 3, 2, counting(6, 1));
    ASSERT_EQ(out.size(), 16u);
    for (unsigned v : out)
        EXPECT_TRUE(v >= 1 && v <= 6) << v;
}

TEST(Rotate, SizesThatDifferLeaveBackground) {
    rotate_rig wide({1});
    number_named(wide.subject, "VALUE.BG").set_value(0, 9);
    // A quarter turn of 1 2 3 4 / 5 6 7 8: what leaves the picture is background.
    EXPECT_EQ(wide.sizes(4, 2, 4, 2).turn(90, 4, 2, counting(8, 1)),
              (list{9, 3, 7, 9, 9, 2, 6, 9}));
    // A larger output holds the input in its middle; a smaller one shows the middle.
    rotate_rig larger({1});
    EXPECT_EQ(larger.sizes(2, 2, 4, 4).turn(0, 2, 2, {1, 2, 3, 4}),
              (list{1, 1, 1, 1, 1, 1, 2, 1, 1, 3, 4, 1, 1, 1, 1, 1}));
    rotate_rig smaller({1});
    EXPECT_EQ(smaller.sizes(4, 4, 2, 2).turn(0, 4, 4, counting(16, 1)), (list{6, 7, 10, 11}));
    // Background and copies take the element width.
    for (const char* type : {"UINT8", "UINT16"}) {
        rotate_rig r({1}, type);
        number_named(r.subject, "VALUE.BG").set_value(0, 200);
        EXPECT_EQ(r.sizes(1, 1, 3, 1).turn(0, 1, 1, {77}), (list{200, 77, 200}));
        EXPECT_EQ(r.got(1)->type_name(), type);
    }
}

TEST(Rotate, ControlValueIsTheAngle) {
    rotate_rig r({1});
    r.listen("CONTROL.rotate");
    number_named(r.subject, "VALUE.CONTROL").set_maximum(0, 255);
    r.sizes(4, 4, 4, 4);
    r.give("CONTROL.rotate", plane("UINT8", 1, 1, {255})); // a full turn
    EXPECT_EQ(r.turn(45, 4, 4, counting(16, 1)), counting(16, 1));
    r.give("CONTROL.rotate", plane("UINT8", 1, 1, {85}));
    EXPECT_DOUBLE_EQ(r.subject.angle(), 120);
    // A control maximum of 0 gives no scale: the picture stays unturned.
    rotate_rig unscaled({1});
    unscaled.listen("CONTROL.rotate");
    number_named(unscaled.subject, "VALUE.CONTROL").set_maximum(0, 0);
    unscaled.sizes(3, 3, 3, 3).give("CONTROL.rotate", plane("UINT8", 1, 1, {0}));
    EXPECT_EQ(unscaled.turn(90, 3, 3, counting(9, 1)), counting(9, 1));
}

TEST(Rotate, ChannelsTurnInStepWithoutChannelOne) {
    rotate_rig r({2, 4});
    r.listen("IN.1");    // input without output
    r.watch("OUT.3", 3); // output without input
    number_named(r.subject, "VALUE").set_value(0, 42);
    r.sizes(3, 3, 3, 3);
    r.give("IN.2", plane("UINT16", 3, 3, counting(9, 1)));
    EXPECT_EQ(r.turn(90, 3, 3, counting(9, 100), 4), quarter_turned(counting(9, 100), 3));
    EXPECT_EQ(r.values(2), quarter_turned(counting(9, 1), 3));
    // The half-connected channel makes nothing: its port sends its fill value.
    EXPECT_EQ(r.values(3), list(9, 42));
}

// ---- the wave generator ------------------------------------------------------

constexpr double pi = 3.141592653589793;

// floor + span * (1 - sin(2 pi p)) * 0.5 with floor 0: the radial wave's
// centre and the linear wave's (0, 0) at phase p.
unsigned at_radius_zero(double span, double phase) {
    return unsigned(span * (1 - std::sin(2 * pi * phase)) * 0.5);
}

struct wave_rig : component_rig<wave> {
    explicit wave_rig(bool controlled = true) {
        if (controlled)
            listen("CONTROL.WAVE");
        watch("OUT", 1);
    }
    wave_rig& set(const char* name, double v) {
        number_named(subject, name).set_value(0, v);
        return *this;
    }
    void begin(int w, int h, int depth = 1) {
        set_size(subject, "SIZE", w, h, depth);
        component_rig::begin("OUT");
    }
    // One frame with control value c.
    const matrix& frame(unsigned c) {
        give("CONTROL.WAVE", plane("UINT8", 1, 1, {c}));
        fire_once();
        return *got(1);
    }
};

TEST(Wave, LinearWaveAtPhaseZeroRunsAlongXAtBothWidths) {
    wave_rig r;
    r.begin(8, 6);
    const matrix& m = r.frame(0);
    EXPECT_EQ(m.value_at(0, 0), 63u); // span 127.5 (amplitude 0.5 of 255) * 0.5
    EXPECT_LE(m.value_at(2, 0), 1u);  // a quarter period in: the sine's top
    EXPECT_GE(m.value_at(6, 0), 126u);
    // The 0.1 degree tilt moves the rows by at most one step.
    for (std::uint16_t y = 1; y < 6; ++y)
        for (std::uint16_t x = 0; x < 8; ++x)
            EXPECT_LE(std::abs(int(m.value_at(x, y)) - int(m.value_at(x, 0))), 1);

    // Sixteen-bit output uses the wide range.
    wave_rig wide;
    menu_named(wide.subject, "TYPE").select_by_name("UINT16");
    wide.begin(8, 2);
    EXPECT_EQ(number_named(wide.subject, "VALUE").maximum(0), 65535);
    const matrix& w = wide.frame(0);
    ASSERT_TRUE(w.is_uint16());
    EXPECT_EQ(w.value_at(0, 0), 16383u); // 65535 * 0.5 * 0.5
    const list v = values_of(w);
    EXPECT_GT(*std::max_element(v.begin(), v.end()), 32000u);
    EXPECT_LE(*std::max_element(v.begin(), v.end()), 32767u);
}

TEST(Wave, RadialRingsAroundTheCentreTurnAroundFromNinetyDegrees) {
    wave_rig r;
    menu_named(r.subject, "MODE").select_by_name("RADIAL");
    r.begin(8, 6);
    const matrix& m = r.frame(64);
    EXPECT_EQ(m.value_at(4, 3), at_radius_zero(127.5, 64 / 255.0));
    EXPECT_EQ(m.value_at(2, 3), m.value_at(6, 3));
    EXPECT_EQ(m.value_at(4, 1), m.value_at(4, 5));
    // At phase 0 the two directions give sin(-x) and sin(x): values that add up to the span.
    list both[2];
    for (int i = 0; i < 2; ++i) {
        wave_rig turned;
        menu_named(turned.subject, "MODE").select_by_name("RADIAL");
        turned.set("AMPLITUDE", 1).set("ANGLE", i == 0 ? 89.9 : 90).begin(8, 8);
        both[i] = values_of(turned.frame(0));
    }
    for (std::size_t i = 0; i < both[0].size(); ++i)
        EXPECT_NEAR(both[0][i] + both[1][i], 254.5, 0.5) << i;
}

TEST(Wave, TheControlOrElseTheSharedPhaseMovesTheWave) {
    wave_rig r;
    r.begin(9, 7);
    const list at_floor = values_of(r.frame(0));
    EXPECT_EQ(values_of(r.frame(255)), at_floor);
    EXPECT_NE(values_of(r.frame(128)), at_floor);
    // Without a control every fire moves the shared phase.
    // The waves of one program share it; another program's is its own.
    wave_rig first(false), second(false), elsewhere(false);
    second.subject.set_context(&first.network);
    first.begin(4, 1);
    second.begin(4, 1);
    elsewhere.begin(4, 1);
    const double before = first.program.wave_phase();
    first.fire_once();
    second.fire_once();
    elsewhere.fire_once();
    EXPECT_NEAR(first.program.wave_phase(), before + 0.2, 1e-9);
    EXPECT_EQ(second.values(1).at(0), at_radius_zero(127.5, first.program.wave_phase()));
    EXPECT_NEAR(elsewhere.program.wave_phase(), 0.1, 1e-9);
}

TEST(Wave, DegenerateSettings) {
    wave_rig flat; // amplitude 0 gives the floor everywhere
    flat.set("AMPLITUDE", 0).begin(5, 4);
    EXPECT_EQ(values_of(flat.frame(100)), list(20, 0));

    wave_rig fixed; // a control span of 0 stands at phase 0
    number_named(fixed.subject, "VALUE.control").set_minimum(0, 100);
    number_named(fixed.subject, "VALUE.control").set_maximum(0, 100);
    fixed.begin(4, 1);
    EXPECT_EQ(fixed.frame(100).value_at(0, 0), 63u);

    wave_rig deep; // planes past the first are cleared
    deep.set("AMPLITUDE", 1).begin(3, 2, 2);
    const list v = values_of(deep.frame(10));
    EXPECT_NE(list(v.begin(), v.begin() + 6), list(6, 0));
    EXPECT_EQ(list(v.begin() + 6, v.end()), list(6, 0));

    wave_rig odd; // an infinite amplitude rounds to NaN, which becomes the floor
    number_named(odd.subject, "AMPLITUDE").set_maximum(0, infinity);
    odd.set("AMPLITUDE", infinity).begin(4, 2);
    EXPECT_EQ(values_of(odd.frame(30)), list(8, 0));
}

// The estimates the wave tries first: within 1e-15 of std::sin and std::cos
// over their whole range, at random and beside multiples of pi / 2 there.
TEST(Wave, TheSineEstimateStaysWithinItsBound) {
    std::mt19937_64 source(1);
    std::uniform_real_distribution<double> anywhere(-sine_estimate_range, sine_estimate_range),
        near(-100, 100);
    double worst = 0;
    auto check = [&](double x) {
        const sine_and_cosine both = sine_cosine_estimate(x);
        worst =
            std::max({worst, std::abs(both.sine - std::sin(x)), std::abs(both.cosine - std::cos(x)),
                      std::abs(sine_estimate(x) - std::sin(x))});
    };
    for (int i = 0; i < 400000; ++i)
        check(i % 2 != 0 ? anywhere(source) : near(source));
    const long quarters = long(sine_estimate_range / (pi / 2));
    for (long k = -quarters; k <= quarters; k += 7) {
        check(k * (pi / 2));
        check(std::nextafter(k * (pi / 2), 0.0) - 1e-9);
    }
    EXPECT_LT(worst, 1e-15);
}

// Every element is floor + span x (1 - sin theta) x 0.5 truncated, with theta
// as the wave's description gives it, whatever shortcut the wave takes.
TEST(Wave, EveryElementIsTheTruncatedFormula) {
    int checked = 0;
    for (const bool wide : {false, true})
        for (const char* mode : {"LINEAR", "RADIAL"})
            for (const double angle : {0.1, 37.3, 90.0, 211.0})
                for (const double frequency : {1.0, 3.0}) {
                    wave_rig r;
                    if (wide)
                        menu_named(r.subject, "TYPE").select_by_name("UINT16");
                    menu_named(r.subject, "MODE").select_by_name(mode);
                    r.set("ANGLE", angle).set("FREQUENCY", frequency).set("AMPLITUDE", 0.7);
                    r.begin(61, 40);
                    const double span = (wide ? 65535 : 255) * 0.7;
                    const double a = angle * 0.017453292519943295;
                    const double ring = a < 1.5707963267948966 ? -1.0 : 1.0;
                    for (const unsigned c : {0u, 77u, 200u}) {
                        const matrix& m = r.frame(c);
                        const double phase = double(c) / 255;
                        for (std::uint16_t y = 0; y < 40; ++y)
                            for (std::uint16_t x = 0; x < 61; ++x) {
                                const double fx = x / 61.0, fy = y / 40.0;
                                const double dx = 2 * (fx - 0.5), dy = 2 * (fy - 0.5);
                                const double linear = std::string(mode) == "LINEAR"
                                                          ? std::cos(a) * fx - std::sin(a) * fy
                                                          : 0;
                                const double radial = std::string(mode) == "RADIAL"
                                                          ? ring * std::sqrt(dx * dx + dy * dy)
                                                          : 0;
                                const double theta =
                                    (linear + radial + phase) * frequency * 6.283185307179586;
                                const double v = span * (1 - std::sin(theta)) * 0.5;
                                const unsigned expected =
                                    wide ? truncate_to_u16(v) : truncate_to_u8(v);
                                checked += m.value_at(x, y) == expected;
                                ASSERT_EQ(m.value_at(x, y), expected)
                                    << mode << " " << angle << " " << frequency << " " << c
                                    << " at " << x << "," << y;
                            }
                    }
                }
    EXPECT_EQ(checked, 2 * 2 * 4 * 2 * 3 * 61 * 40);
}

// ---- the colour space conversion -------------------------------------------

using triple = rgb_hsv::triple;

TEST(RgbHsv, KnownColours) {
    // Grey has the grey hue 160 degrees (byte 113) and no saturation.
    EXPECT_EQ(rgb_hsv::rgb_to_hsv(100, 100, 100), (triple{113, 0, 100}));
    EXPECT_EQ(rgb_hsv::hsv_to_rgb(113, 0, 100), (triple{100, 100, 100}));
    EXPECT_EQ(rgb_hsv::rgb_to_hsv(255, 0, 0), (triple{0, 255, 255}));
    EXPECT_EQ(rgb_hsv::rgb_to_hsv(0, 0, 255), (triple{170, 255, 255}));
    EXPECT_EQ(rgb_hsv::hsv_to_rgb(170, 255, 255), (triple{0, 0, 255}));
    // Hue 255 is a full turn: 360 degrees become 0, red.
    EXPECT_EQ(rgb_hsv::hsv_to_rgb(255, 255, 255), (triple{255, 0, 0}));
    // R max, B above G: H = bc - gc = -0.5 sextants, 330 degrees, byte 233.
    EXPECT_EQ(rgb_hsv::rgb_to_hsv(255, 0, 128), (triple{233, 255, 255}));
    EXPECT_EQ(rgb_hsv::rgb_to_hsv(128, 64, 64), (triple{0, 127, 128}));
    // Hue 43 is 60.7 degrees, sextant 1: R = q = 0.9882 * 255 = 252.0.
    EXPECT_EQ(rgb_hsv::hsv_to_rgb(43, 255, 255), (triple{252, 255, 0}));
}

// One fire over three 2 x 2 planes; the three result planes.
std::vector<list> convert(const char* type, const char* mode, const std::vector<list>& planes,
                          double value_maximum = 255) {
    component_rig<rgb_hsv> r;
    r.wire({"IN.1", "IN.2", "IN.3"}, {"OUT.1", "OUT.2", "OUT.3"});
    menu_named(r.subject, "TYPE").select_by_name(type);
    menu_named(r.subject, "MODE").select_by_name(mode);
    number_named(r.subject, "VALUE").set_maximum(0, value_maximum);
    set_size(r.subject, "SIZE", 2, 2);
    r.begin("OUT.1");
    for (int k = 1; k <= 3; ++k)
        r.give("IN." + std::to_string(k), plane(type, 2, 2, planes[std::size_t(k - 1)]));
    r.fire_once();
    EXPECT_EQ(r.got(1)->type_name(), type);
    return {r.values(1), r.values(2), r.values(3)};
}

TEST(RgbHsvComponent, ConvertsPlanesElementByElementBothWaysAtBothWidths) {
    const std::vector<list> rgb{{255, 0, 0, 100}, {0, 255, 0, 100}, {0, 0, 255, 100}};
    const std::vector<list> hsv{{0, 85, 170, 113}, {255, 255, 255, 0}, {255, 255, 255, 100}};
    EXPECT_EQ(convert("UINT8", "RGB->HSV", rgb), hsv);
    EXPECT_EQ(convert("UINT8", "HSV->RGB", hsv), rgb);
    // Sixteen-bit values above 255 (which only a raised "VALUE" maximum lets through)
    // count as 255: red, red, blue and white at full value.
    EXPECT_EQ(convert("UINT16", "RGB->HSV",
                      {{300, 65535, 0, 255}, {0, 0, 0, 255}, {0, 0, 256, 255}}, 65535),
              (std::vector<list>{{0, 0, 170, 113}, {255, 255, 255, 0}, {255, 255, 255, 255}}));
}

} // namespace
} // namespace zoetra::testing
