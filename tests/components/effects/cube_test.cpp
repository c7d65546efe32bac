#include "components/effects/cube.hpp"
#include "components/effects/renderers.hpp"
#include "drawing_support.hpp"
#include "engine/numeric.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <random>

namespace zoetra {
namespace {

using effects::cube;
using namespace testing_support;

// The three output planes of one fire.
struct projected {
    matrix_ptr x, y, eye;
};

// Fires a cube whose outputs feed a renderer, and takes the planes the
// renderer received (none when the cube sent nothing).
class cube_rig {
  public:
    cube_rig(int width, int height) {
        set_size(camera, width, height);
        set_size(sink, width, height);
        wire("X.OUT", "X");
        wire("Y.OUT", "Y");
        wire("EYE.OUT", "SORT");
    }
    // Hands the stored heights and control values to the camera and fires it.
    projected fire() {
        for (const auto& [input, value] : controls_)
            feeder::give(camera, input, u8_plane(1, 1, constant_value(value)));
        if (z_)
            feeder::give(camera, "Z.IN", z_->clone());
        std::string error;
        EXPECT_TRUE(camera.fire(error)) << error;
        EXPECT_TRUE(camera.fired());
        projected out;
        if (sink.find_port("X").holds_matrix()) {
            out.x = sink.find_port("X").get_matrix().clone();
            out.y = sink.find_port("Y").get_matrix().clone();
            out.eye = sink.find_port("SORT").get_matrix().clone();
        }
        for (int i = 0; i < sink.port_count(); ++i)
            sink.port_at(i).release();
        camera.clear_fired();
        return out;
    }
    // Connects a control input to a feeder; every fire gives it the value c.
    void control(const std::string& input, unsigned c) {
        if (!camera.find_port(input).connected())
            source.connect(camera, input);
        controls_[input] = c;
    }
    void heights(matrix_ptr z) {
        if (!camera.find_port("Z.IN").connected())
            source.connect(camera, "Z.IN");
        z_ = std::move(z);
    }

    cube camera;
    effects::dot_renderer sink;
    feeder source;

  private:
    std::map<std::string, unsigned> controls_;
    matrix_ptr z_;
    void wire(const char* out, const char* in) {
        std::string error;
        EXPECT_TRUE(port::connect(camera.find_port(out), sink.find_port(in), &error)) << error;
    }
};

std::pair<unsigned, unsigned> range_of(const matrix& m) {
    unsigned lo = 65535, hi = 0;
    for (int r = 0; r < m.size(1); ++r)
        for (int c = 0; c < m.size(0); ++c) {
            lo = std::min(lo, m.value_at(std::uint16_t(c), std::uint16_t(r)));
            hi = std::max(hi, m.value_at(std::uint16_t(c), std::uint16_t(r)));
        }
    return {lo, hi};
}

int largest_difference(const matrix& a, const matrix& b) {
    int worst = 0;
    for (int r = 0; r < a.size(1); ++r)
        for (int c = 0; c < a.size(0); ++c)
            worst = std::max(worst, std::abs(int(a.value_at(std::uint16_t(c), std::uint16_t(r))) -
                                             int(b.value_at(std::uint16_t(c), std::uint16_t(r)))));
    return worst;
}

bool same_planes(const projected& a, const projected& b) {
    return largest_difference(*a.x, *b.x) == 0 && largest_difference(*a.y, *b.y) == 0 &&
           largest_difference(*a.eye, *b.eye) == 0;
}

TEST(Cube, SettingsAndPortsInRegistrationOrder) {
    cube c;
    const char* configs[] = {"VALUE",    "SIZE",         "TYPE",          "VALUE.OUT",
                             "TYPE.OUT", "CAM.THETA",    "CAM.PHI",       "CAM.RHO",
                             "CAM.ZD",   "SIZE.CONTROL", "VALUE.CONTROL", "TYPE.CONTROL"};
    ASSERT_EQ(c.config_count(), 12);
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(c.config_at(i).name(), configs[i]);
    const char* ports[] = {
        "CONTROL.cube.phi", "CONTROL.theta", "CONTROL.rho", "Z.IN", "X.OUT", "Y.OUT", "EYE.OUT"};
    ASSERT_EQ(c.port_count(), 7);
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(c.port_at(i).name(), ports[i]);
    EXPECT_EQ(c.menu("TYPE").selected_name(), "UINT16");
    EXPECT_TRUE(c.number("CAM.THETA").dial());
    EXPECT_EQ(c.number("CAM.THETA").desc().title, "CAMERA LEFT-RIGHT");
    EXPECT_TRUE(c.number("CAM.PHI").shown());
    EXPECT_FALSE(c.number("CAM.RHO").shown());
    EXPECT_EQ(c.number("CAM.ZD").value(0), 100);
}

// At the initial camera the eye looks straight down the height axis: a flat
// plane at height 0 is nearest and fills the box across, one at full height
// is farther, so smaller and centred; the heights only move the eye distance.
TEST(Cube, FlatPlanesProjectInsideTheCubesBox) {
    cube_rig rig(16, 16);
    rig.heights(u16_plane(16, 16, constant_value(0)));
    projected bottom = rig.fire();
    ASSERT_TRUE(bottom.x);
    EXPECT_EQ(range_of(*bottom.eye), std::make_pair(0u, 0u));
    auto [x_lo, x_hi] = range_of(*bottom.x);
    auto [y_lo, y_hi] = range_of(*bottom.y);
    // Column 0 lies on the cube's edge (the square is turned a hair off 270
    // degrees: the degree factor is not exactly pi / 180).
    EXPECT_LT(x_lo, 200u);
    EXPECT_LT(y_lo, 200u);
    EXPECT_GT(x_hi, 60000u); // the last column is 15/16 of the way
    EXPECT_GT(y_hi, 60000u);

    rig.heights(u16_plane(16, 16, constant_value(65535)));
    projected top = rig.fire();
    ASSERT_TRUE(top.x);
    EXPECT_EQ(range_of(*top.eye), std::make_pair(65535u, 65535u));
    auto [tx_lo, tx_hi] = range_of(*top.x);
    EXPECT_GT(tx_lo, 0u);
    EXPECT_LT(tx_hi, x_hi);
    // Farther is smaller, about the same centre.
    EXPECT_LT(std::abs(int(tx_lo + tx_hi) - int(x_lo + x_hi)), 65535 / 16);
}

// 255 / 255 x 360 degrees is 6.28272 after scaling: exactly the setting 360
// and within 0.0005 of a full turn, so the view barely moves from 0.
TEST(Cube, ControlAtItsMaximumTurnsAlmostAFullCircle) {
    cube_rig rig(12, 10);
    rig.heights(u16_plane(12, 10, [](int c, int r) { return unsigned(c * 3000 + r * 2000); }));
    rig.camera.number("CAM.PHI").set_value(0, 35);
    rig.camera.number("CAM.THETA").set_value(0, 360);
    projected at_360 = rig.fire();
    rig.camera.number("CAM.THETA").set_value(0, 0);
    projected at_0 = rig.fire();
    rig.control("CONTROL.theta", 255);
    projected controlled = rig.fire();
    ASSERT_TRUE(at_360.x && at_0.x && controlled.x);
    EXPECT_TRUE(same_planes(controlled, at_360));
    EXPECT_FALSE(same_planes(controlled, at_0));
    EXPECT_LE(largest_difference(*controlled.x, *at_0.x), 65535 * 0.0005 * 2);
    EXPECT_LE(largest_difference(*controlled.y, *at_0.y), 65535 * 0.0005 * 2);
}

TEST(Cube, ControlsOverrideTheSettings) {
    auto slope = [](int c, int r) { return unsigned(c * 3000 + r * 2000); };
    cube_rig controlled(12, 10);
    controlled.heights(u16_plane(12, 10, slope));
    controlled.camera.number("CAM.PHI").set_value(0, 35);
    controlled.camera.number("CAM.RHO").set_value(0, 100);
    controlled.control("CONTROL.theta", 255);
    controlled.control("CONTROL.cube.phi", 0);
    controlled.control("CONTROL.rho", 255);

    cube_rig set(12, 10);
    set.heights(u16_plane(12, 10, slope));
    set.camera.number("CAM.THETA").set_value(0, 360);
    set.camera.number("CAM.PHI").set_value(0, 0);
    set.camera.number("CAM.RHO").set_maximum(0, 360);
    set.camera.number("CAM.RHO").set_value(0, 360);
    projected a = controlled.fire();
    projected b = set.fire();
    ASSERT_TRUE(a.x && b.x);
    EXPECT_TRUE(same_planes(a, b));
}

TEST(Cube, EightAndSixteenBitHeightsScaledToTheirMaximaAgree) {
    auto level = [](int c, int r) { return unsigned((c * 37 + r * 91) % 256); };
    cube_rig narrow(20, 14);
    narrow.camera.menu("TYPE").select(0);
    narrow.camera.number("VALUE").set_maximum(0, 255);
    narrow.camera.number("CAM.PHI").set_value(0, 50);
    narrow.heights(u8_plane(20, 14, level));
    projected a = narrow.fire();

    cube_rig wide(20, 14);
    wide.camera.number("CAM.PHI").set_value(0, 50);
    wide.heights(u16_plane(20, 14, [&](int c, int r) { return level(c, r) * 257; }));
    projected b = wide.fire();
    ASSERT_TRUE(a.x && b.x);
    EXPECT_TRUE(same_planes(a, b));
}

// A camera that cannot project (the eye inside the cube, a control range of
// 0, a screen distance of 0) sends nothing: its renderers are not ready and
// nothing is drawn for that frame.
TEST(Cube, ACameraThatCannotProjectSendsNothing) {
    cube_rig rig(8, 8);
    rig.control("CONTROL.rho", 0); // the eye at the centre
    EXPECT_FALSE(rig.fire().x);
    EXPECT_FALSE(rig.sink.ready());
    for (int i = 0; i < rig.camera.port_count(); ++i)
        EXPECT_FALSE(rig.camera.port_at(i).holds_matrix());

    rig.control("CONTROL.rho", 10); // 0.2464: still inside (corners reach 0.866)
    EXPECT_FALSE(rig.fire().x);
    rig.control("CONTROL.rho", 60); // 1.4786: outside
    EXPECT_TRUE(rig.fire().x);

    rig.camera.number("VALUE.CONTROL").set_maximum(0, 0); // c / 0
    rig.control("CONTROL.rho", 0);
    EXPECT_FALSE(rig.fire().x);

    cube_rig flat(8, 8);
    flat.camera.number("CAM.ZD").set_minimum(0, 0);
    flat.camera.number("CAM.ZD").set_value(0, 0);
    EXPECT_FALSE(flat.fire().x);
}

// Random cameras, some of them absurd, and random heights: every fire
// succeeds, and a camera that projects places the cube's own corners (the
// extreme points) on the edges of the range.
TEST(Cube, RandomCamerasNeverFail) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> any(-1e6, 1e6);
    cube_rig rig(9, 7);
    for (const char* name : {"CAM.THETA", "CAM.PHI", "CAM.RHO", "CAM.ZD"}) {
        rig.camera.number(name).set_minimum(0, -1e300);
        rig.camera.number(name).set_maximum(0, 1e300);
    }
    int projecting = 0;
    for (int round = 0; round < 300; ++round) {
        const bool sane = round % 2 == 0;
        rig.camera.number("CAM.THETA").set_value(0, sane ? random() % 361 : any(random));
        rig.camera.number("CAM.PHI").set_value(0, sane ? int(random() % 361) - 180 : any(random));
        rig.camera.number("CAM.RHO").set_value(0, sane ? 100 + random() % 101 : any(random));
        rig.camera.number("CAM.ZD").set_value(0, sane ? 50 + random() % 151 : any(random));
        // The heights stay within what the port's audit lets through.
        rig.camera.number("VALUE").set_maximum(0, sane ? 65535 : any(random));
        const unsigned highest = truncate_to_u16(rig.camera.number("VALUE").maximum(0));
        rig.heights(u16_plane(9, 7, [&](int, int) { return unsigned(random() % (highest + 1)); }));
        projected out = rig.fire();
        if (sane) {
            ASSERT_TRUE(out.x) << "round " << round;
        }
        projecting += out.x != nullptr;
    }
    EXPECT_GT(projecting, 150);
}

} // namespace
} // namespace zoetra
