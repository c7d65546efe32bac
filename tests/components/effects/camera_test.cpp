// The camera: heights projected through the cube onto the output planes.
#include "effects_support.hpp"

#include <gtest/gtest.h>

namespace zoetra::testing {
namespace {

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

// 255 / 255 x 360 degrees is 6.28272 after scaling: exactly the setting 360,
// a hair short of a full turn.
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

} // namespace
} // namespace zoetra::testing
