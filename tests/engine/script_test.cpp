#include "engine/script.hpp"
#include "engine_test_support.hpp"

#include <gtest/gtest.h>

namespace zoetra {
namespace {

using testing_support::basic_factory;
using testing_support::printed;
using testing_support::write_file;

const char* example_effect = R"(<effect type=Standard description="Test network">
  <description>
    <title>Test</title>
  </description>
  <INTEGER10 id=ten>
    <valuelist name=SIZE><v>2</v><v>1</v><v>1</v></valuelist>
    <out name=OUT.integer id=ten.out></out>
  </INTEGER10>
  <TEST id=check>
    <in name=IN.small idref=ten.out></in>
  </TEST>
</effect>
)";

std::unique_ptr<script> load(const std::string& name, const std::string& text) {
    auto s = std::make_unique<script>(write_file(name, text), 1.0, basic_factory());
    std::string error;
    EXPECT_TRUE(s->load(error)) << error;
    return s;
}

bool every_component_reset(const script& s) {
    for (int i = 0; i < s.component_count(); ++i) {
        const component& c = s.component_at(i);
        if (c.preprepared() || c.prepared() || c.fired())
            return false;
        for (int p = 0; p < c.port_count(); ++p)
            if (c.port_at(p).holds_matrix())
                return false;
    }
    return true;
}

TEST(FileStem, TakesTheLastPathPartUpToTheFirstDot) {
    EXPECT_EQ(file_stem("Effects\\wave.zoml"), "wave");
    EXPECT_EQ(file_stem("*wave.zoml"), "wave");
    EXPECT_EQ(file_stem("some/dir/rings.v2.zoml"), "rings");
    EXPECT_EQ(file_stem("a.b\\c"), "c");
}

TEST(Script, TheExampleEffectRunsEndToEnd) {
    auto s = load("example.zoml", example_effect);
    EXPECT_EQ(s->desc().name, "example");
    EXPECT_EQ(s->desc().type, "Standard");
    EXPECT_EQ(s->desc().text, "Test network");
    EXPECT_EQ(s->desc().title, "Test");
    ASSERT_EQ(s->component_count(), 2);
    component& ten = s->find_component("TEN");
    EXPECT_EQ(ten.name(), "INTEGER10");
    EXPECT_EQ(ten.number("SIZE").value(0), 2);
    port& in = s->find_component("check").find_port("IN.small");
    EXPECT_EQ(in.peer(), &ten.find_port("OUT.integer"));

    std::string error;
    ASSERT_TRUE(s->start(error)) << error;
    int begun = 0, done = 0;
    std::vector<int> progress;
    s->on_run_begin = [&] { ++begun; };
    s->on_progress = [&](int fired, int count) { progress.push_back(fired * 10 + count); };
    s->on_frame_done = [&] { ++done; };

    // One step: the constant fires first and its two 10s arrive at the test input.
    ASSERT_TRUE(s->run(error, true));
    ASSERT_TRUE(in.holds_matrix());
    EXPECT_EQ(in.get_matrix().value_at(0), 10u);
    EXPECT_EQ(in.get_matrix().value_at(1), 10u);

    EXPECT_EQ(printed([&] { EXPECT_TRUE(s->run(error, false)); }), "exporting!\n");
    EXPECT_EQ(begun, 1);
    EXPECT_EQ(done, 1);
    EXPECT_EQ(progress, (std::vector<int>{12, 22}));
    EXPECT_FALSE(in.holds_matrix());
    EXPECT_FALSE(ten.fired());

    // The next run starts afresh.
    printed([&] { EXPECT_TRUE(s->run(error, false)); });
    EXPECT_EQ(done, 2);
    EXPECT_EQ(begun, 2);
}

TEST(Script, SingleStepFiresOneComponentPerCallAndTheSinkLast) {
    script s("steps.zoml", 1.0, basic_factory());
    s.add_component("INTEGER10");
    component* sink = s.add_component("TEST_DOESNT_EXPORT");
    sink->desc().name = "GIFOUT";
    s.add_component("TEST_DOESNT_EXPORT");
    s.add_component("INTEGER1");
    std::vector<std::string> fired;
    int done = 0;
    s.on_progress = [&](int count, int) { fired.push_back(std::to_string(count)); };
    s.on_frame_done = [&] { ++done; };
    std::string error;
    ASSERT_TRUE(s.start(error));
    printed([&] {
        for (int call = 1; call <= 3; ++call) {
            EXPECT_TRUE(s.run(error, true));
            EXPECT_EQ(done, 0) << call;
        }
        EXPECT_FALSE(sink->fired());
        EXPECT_TRUE(s.run(error, true)); // the fourth call fires the sink
    });
    EXPECT_EQ(done, 1);
    EXPECT_EQ(fired, (std::vector<std::string>{"1", "2", "3"}));
}

TEST(Script, OnlyTheExactNameGIFOUTIsHeldBack) {
    script s("lower.zoml", 1.0, basic_factory());
    component* lower = s.add_component("TEST");
    lower->desc().name = "gifout";
    s.add_component("INTEGER1");
    std::string error;
    ASSERT_TRUE(s.start(error));
    printed([&] { EXPECT_TRUE(s.run(error, true)); });
    EXPECT_TRUE(lower->fired()); // scheduled like any other component
}

// A start or a run that fails says why, and leaves every component reset.
TEST(Script, AFailedStartOrRunLeavesEveryComponentReset) {
    const struct {
        const char *name, *text;
        bool starts;
        std::string error, printed; // the error, a part of what is printed
    } cases[] = {
        {"prepare",
         "<e><INTEGER1></INTEGER1><TEST_FAIL_PREPARE></TEST_FAIL_PREPARE><TEST></TEST></e>", false,
         "com_test failed prepare", ""},
        {"preprepare", "<e><TEST></TEST><TEST_FAIL_PREPREPARE></TEST_FAIL_PREPREPARE></e>", false,
         "com_test failed preprepare", ""},
        // Absurd port sizes fail the start instead of exhausting memory.
        {"huge",
         "<e><TEST><valuelist name=SIZE.big><v max=65535>65535</v><v max=65535>65535</v>"
         "</valuelist></TEST></e>",
         false,
         "the port \"OUT.big\" of \"TEST\" asks for a 65535 x 65535 x 1 matrix, which is too large",
         ""},
        {"fire",
         "<e><INTEGER10 id=ten><valuelist name=SIZE><v>2</v></valuelist>"
         "<out name=OUT.integer id=t.out></out></INTEGER10>"
         "<TEST_FAIL_FIRE><in name=IN.small idref=t.out></in></TEST_FAIL_FIRE></e>",
         true, "com_test failed fire", "NOT exporting!\n"},
        // The constant sends 1 x 1 x 1 but the test input wants 2 x 1 x 1.
        {"audit",
         "<e><INTEGER10><out name=OUT.integer id=t.out></out></INTEGER10>"
         "<TEST><in name=IN.small idref=t.out></in></TEST></e>",
         true, "matrix fails size", "FAILED AUDIT:matrix fails size"},
    };
    for (const auto& c : cases) {
        auto s = load(std::string(c.name) + ".zoml", c.text);
        std::string error;
        const std::string out = printed([&] {
            EXPECT_EQ(s->start(error), c.starts) << c.name;
            EXPECT_FALSE(c.starts && s->run(error, false)) << c.name;
        });
        EXPECT_EQ(error, c.error);
        EXPECT_NE(out.find(c.printed), std::string::npos) << out;
        EXPECT_TRUE(every_component_reset(*s)) << c.name;
    }
}

TEST(Script, BindsConfigsByIdrefAtStart) {
    auto s = load("bind.zoml",
                  "<e><INTEGER10 id=a><valuelist name=SIZE id=a.size><v>5</v><v>3</v></valuelist>"
                  "</INTEGER10>"
                  "<INTEGER1 id=b><valuelist name=SIZE idref=a.size></valuelist>"
                  "<valuelist name=VALUE id=self idref=self></valuelist></INTEGER1>"
                  "<INTEGER1 id=c><valuelist name=SIZE idref=A.SIZE></valuelist></INTEGER1></e>");
    component& a = s->find_component("a");
    component& b = s->find_component("b");
    component& c = s->find_component("c");
    EXPECT_EQ(b.find_config("SIZE").bound_partner(), &a.find_config("SIZE"));
    EXPECT_EQ(c.find_config("SIZE").bound_partner(), nullptr); // ids bind exactly
    EXPECT_EQ(b.find_config("VALUE").bound_partner(), &b.find_config("VALUE"));
    std::string error;
    ASSERT_TRUE(s->start(error));
    EXPECT_EQ(b.number("SIZE").value(0), 5);
    EXPECT_EQ(b.number("SIZE").value(1), 3);
    EXPECT_EQ(b.number("VALUE").value(0), 1);
}

TEST(Script, InputsSharingAnIdConnectOnlyOnce) {
    auto s = load("dup.zoml", "<e><INTEGER1><out name=OUT.integer id=o1></out></INTEGER1>"
                              "<INTEGER1><out name=OUT.integer id=o2></out></INTEGER1>"
                              "<TEST id=t><in name=IN.small id=same idref=o1></in>"
                              "<in name=IN.big id=same idref=o2></in></TEST></e>");
    component& t = s->find_component("t");
    EXPECT_TRUE(t.find_port("IN.small").connected());
    EXPECT_FALSE(t.find_port("IN.big").connected());
}

TEST(Script, BrokenEffectFilesFailToLoadWithAReason) {
    std::string deep = "<e>", many = "<e>";
    for (int i = 0; i < 70; ++i)
        deep += "<x>";
    for (int i = 0; i < 129; ++i)
        many += "<INTEGER1></INTEGER1>";
    const struct {
        const char* name;
        std::string text, reason;
    } cases[] = {
        {"unknown.zoml", "<e><NOPE id=x></NOPE></e>", "the component type \"NOPE\""},
        {"dangling.zoml", "<e><TEST><in name=IN.small id=t.in idref=ghost></in></TEST></e>",
         "\"t.in\" listens to \"ghost\", which names no port"},
        {"open.zoml", "<e><TEST><in name=IN.small>", "ends inside the element <in>"},
        {"empty.zoml", "", "does not begin"},
        {"deep.zoml", deep, "nested deeper than 64 levels"},
        {"many.zoml", many + "</e>", "more than 128 components"},
    };
    for (const auto& c : cases) {
        script s(write_file(c.name, c.text), 1.0, basic_factory());
        std::string error;
        EXPECT_FALSE(s.load(error)) << c.name;
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
        EXPECT_NE(error.find(c.name), std::string::npos) << error;
        EXPECT_EQ(s.component_count(), 0) << c.name;
        EXPECT_TRUE(s.configs().empty());
    }
    script missing("no/such/file.zoml", 1.0, basic_factory());
    std::string error;
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(missing.load(error));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "BAD file name\n");
    EXPECT_EQ(error, "Cannot open the effect file \"no/such/file.zoml\".");
}

TEST(ScriptDeathTest, LookUpsOfMissingIdsAreFatal) {
    auto s = load("lookup.zoml", example_effect);
    EXPECT_EXIT(s->find_component("nobody"), ::testing::ExitedWithCode(255),
                "Could not find \"nobody\" component in script \"lookup\"");
    EXPECT_EXIT(s->find_port("nowhere"), ::testing::ExitedWithCode(255),
                "Could not find port \"nowhere\"");
    component& check = s->find_component("check");
    EXPECT_EXIT(check.find_config("NOPE"), ::testing::ExitedWithCode(255),
                "Could not find \"NOPE\" config in \"TEST\".");
    // A config of the wrong kind is missing too.
    EXPECT_EXIT(check.number("TYPE"), ::testing::ExitedWithCode(255),
                "Could not find \"TYPE\" config in \"TEST\".");
    EXPECT_EXIT(check.find_port("NOPE"), ::testing::ExitedWithCode(255),
                "Could not find \"NOPE\" port in \"TEST\"");
}

} // namespace
} // namespace zoetra
