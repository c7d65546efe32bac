// The point renderers, on a 400 x 286 canvas with a 350 x 250 output area.
#include "effects_support.hpp"

#include <gtest/gtest.h>

namespace zoetra::testing {
namespace {

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

// Sizes in pixels of the 350 x 250 frame grow with the mark scale: a
// shape from the exact size (3 + 240 x 8 / 255 = 10.5), never below a pixel;
// a cloud drop; a fiber segment, which climbs ten rows a segment at 90 degrees.
TEST_F(Renderers, MarksGrowWithTheMarkScale) {
    const struct {
        int smallest;
        unsigned ssize;
        double scale;
        int pixels;
    } shapes[] = {{3, 255, 2, 22 * 22}, {3, 240, 2, 21 * 21}, {3, 0, 0.25, 1}, {3, 0, 0, 1}};
    for (const auto& c : shapes) {
        clear();
        rig<shape_renderer> one(1, 1, {"SSIZE"});
        number_named(one.subject, "ss.min").set_value(0, c.smallest);
        number_named(one.subject, "SCALE").set_value(0, c.scale);
        menu_named(one.subject, "MODE").select(1);
        one.give("SSIZE", plane("UINT8", 1, 1, constant(c.ssize)));
        run(one.subject);
        EXPECT_EQ(drawn_count(), c.pixels) << c.ssize << " at " << c.scale;
    }

    // The width of one cloud drop.
    auto drop_width = [&](int size, double scale) {
        clear();
        rig<cloud_renderer> drop(1, 1);
        number_named(drop.subject, "RADIUS").set_value(0, 1);
        number_named(drop.subject, "SIZE.SHAPE").set_value(0, size);
        number_named(drop.subject, "DENSITY").set_value(0, 1);
        number_named(drop.subject, "SCALE").set_value(0, scale);
        run(drop.subject);
        int left = 10000, right = -1;
        for_each_drawn([&](int x, int) {
            left = std::min(left, x);
            right = std::max(right, x);
        });
        return right - left + 1;
    };
    EXPECT_EQ(drop_width(4, 2), drop_width(8, 1));
    EXPECT_LT(drop_width(4, 1), drop_width(8, 1));

    clear();
    rig<fiber_renderer> f(1, 1);
    number_named(f.subject, "ANGLE").set_value(0, 90);
    number_named(f.subject, "LENGTH").set_value(0, 5);
    number_named(f.subject, "SCALE").set_value(0, 2);
    run(f.subject);
    int top = 10000, bottom = -1;
    for_each_drawn([&](int, int y) {
        top = std::min(top, y);
        bottom = std::max(bottom, y);
    });
    EXPECT_EQ(bottom - top, 50);
    EXPECT_EQ(drawn_count(), 51);
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
        auto has = [&](const char* name) { return c.config_named(name) != nullptr; };
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

} // namespace
} // namespace zoetra::testing
