// The engine: components, ports and matrices (look-ups, readiness, firing and
// sending, connections, audits and their reports, fill values, layout,
// dumps); effect files (the reader, the settings that read their values from
// it) and scripts that load, bind, start, run and fail.
#include "../components/basic/network.hpp"
#include "../support/files.hpp"
#include "components/basic/constant.hpp"
#include "components/basic/test_component.hpp"
#include "components/io/register.hpp"
#include "engine/component.hpp"
#include "engine/config.hpp"
#include "engine/description.hpp"
#include "engine/element.hpp"
#include "engine/factory.hpp"
#include "engine/lookup.hpp"
#include "engine/matrix.hpp"
#include "engine/port.hpp"
#include "engine/script.hpp"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

namespace zoetra {
namespace {

using basic::constant;
using basic::test_component;

// The context the tests' networks belong to; its diagnostics are collected.
collected_diagnostics& printed_lines() {
    static collected_diagnostics lines;
    return lines;
}
context& program() {
    static context shared(".", printed_lines());
    return shared;
}

// An element tree read from text, which must be an effect file.
std::unique_ptr<element> parse(std::string_view text) {
    element_tree tree = read_element_tree(text);
    EXPECT_TRUE(tree) << tree.message();
    return tree ? std::move(tree.value()) : nullptr;
}

// What body prints to the diagnostic output: the tests' program's sink, or
// the standard output for components outside a network.
template <class F> std::string printed(F body) {
    printed_lines().clear();
    ::testing::internal::CaptureStdout();
    body();
    return printed_lines().output() + ::testing::internal::GetCapturedStdout();
}

// Writes text to a file of the engine's scratch folder and returns its path.
std::string write_file(const std::string& name, const std::string& text) {
    const auto path = testing::scratch_folder("engine") / name;
    testing::write_file(path, text);
    return path.string();
}

// An element tree as text: the tag, each attribute as [name=value], the text
// in quotes and the children in braces.
std::string shape(const element& e) {
    std::string out = e.tag;
    for (const auto& [name, value] : e.attributes)
        out += "[" + name + "=" + value + "]";
    out += "'" + e.text + "'{";
    for (const auto& child : e.children)
        out += shape(*child);
    return out + "}";
}

TEST(EffectReader, ReadsTagsAttributesTextAndChildren) {
    const std::pair<const char*, const char*> cases[] = {
        {"<effect type=Standard description=\"Test network\">\n"
         "  <description><title>Test</title></description>\n"
         "  <INTEGER10 id=ten><out name=OUT.integer id=ten.out></out></INTEGER10>\n</effect>",
         "effect[type=Standard][description=Test network]'\n  '{description''{title'Test'{}}"
         "INTEGER10[id=ten]''{out[name=OUT.integer][id=ten.out]''{}}}"},
        // Unquoted values stop at blanks; a repeated name replaces the value.
        {"<a title=\"two words\"></a>", "a[title=two words]''{}"},
        {"<a title=two words></a>", "a[title=two][words=]''{}"},
        {"<a k = \"v=1\" k=again flag></a>", "a[k=again][flag=]''{}"},
        // Comments and carriage returns vanish, single dashes stay; a comment
        // may close a tag's last attribute right before ">".
        {"<a x=1 -- a note -- y=-5>te-xt--hidden--more</a>", "a[x=1][y=-5]'te-xtmore'{}"},
        {"<a v=3--c-->x</a>", "a[v=3]'x'{}"},
        {"<a\r title=\"one\r two\">\r\nline\r\n</a>\r\n", "a[title=one two]'\nline\n'{}"},
        // Every end tag closes the current element whatever its name: "<b/>"
        // is a start tag named "b/" that takes its following siblings.
        // Anything after the root's end tag is not read.
        {"<a><b/><c></c></b/></x></a>", "a''{b/''{c''{}}}"},
        {"<a></a><garbage", "a''{}"},
        // Character references spell what the markup cannot.
        {"<menu name=MODE value=\"HSV-&gt;RGB\">RGB-&gt;HSV &lt;&amp;gt;&amp;</menu>",
         "menu[name=MODE][value=HSV->RGB]'RGB->HSV <&gt;&'{}"},
    };
    for (auto [text, expected] : cases)
        EXPECT_EQ(shape(*parse(text)), expected);
    EXPECT_EQ(decode_character_references("a & b &gt"), "a & b &gt");
    // An attribute is absent when missing, or when its value is the text that stands for absence.
    auto root = parse("<a title=\"Exception: NoSuchElement\" empty></a>");
    EXPECT_FALSE(element::present(root->attribute("title")));
    EXPECT_EQ(root->attribute("x = y"), no_such_element);
    EXPECT_TRUE(element::present(root->attribute("empty")));
}

TEST(EffectReader, RefusesBrokenFilesWithAReason) {
    struct broken {
        const char* text;
        const char* reason;
    } cases[] = {
        {"", "does not begin"},
        {"  effect>", "does not begin"},
        {"<effect><WAVE>", "ends inside the element <WAVE>"},
        {"<effect", "ends where a tag was expected"},
        {"</effect>", "begins with an end tag"},
        {"<a -- never closed", "ends where a tag was expected"},
    };
    for (const broken& c : cases) {
        element_tree tree = read_element_tree(std::string_view(c.text));
        EXPECT_FALSE(tree) << c.text;
        EXPECT_NE(tree.message().find(c.reason), std::string::npos)
            << c.text << ": " << tree.message();
    }
    std::string nul("<a>x\0</a>", 9);
    EXPECT_FALSE(read_element_tree(nul)); // NUL is the end of the input
}

TEST(EffectReader, NestingIsBounded) {
    std::string deep, closing;
    for (int i = 0; i < 64; ++i) {
        deep += "<e>";
        closing += "</e>";
    }
    // 64 levels are read, 65 are refused (a script test checks the reason).
    EXPECT_TRUE(read_element_tree(deep + closing));
    EXPECT_FALSE(read_element_tree("<e>" + deep + closing + "</e>"));
    // A flood of start tags fails cleanly instead of recursing without bound.
    EXPECT_FALSE(read_element_tree(std::string(200000, '<') + "x>"));
}

cfg_FP64 one_value(double value, double minimum, double maximum, double step) {
    return cfg_FP64(nullptr, "FRAMES.CONTROL", false, value, minimum, maximum, step);
}

TEST(NumberSetting, RoundsToTheStepAndClampsAndStoresOnlyFiniteValues) {
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    constexpr double infinity = std::numeric_limits<double>::infinity();
    const struct {
        double minimum, maximum, step, set, stored;
    } cases[] = {
        {1, 32, 1, 40, 32},       {1, 32, 1, 0.4, 1}, // rounds to 0, then clamps to the minimum
        {0, 10, 0.5, 2.3, 2.5},   {0, 10, 0.5, 2.25, 2.5}, // halves go away from zero
        {-10, 10, 1, -2.5, -3},   {0, 10, 0, 3.14159, 3.14159}, {0, 10, 1, nan, 0},
        {0, 10, 1, infinity, 10}, {0, 10, 1, -infinity, 0},
    };
    for (const auto& c : cases) {
        auto setting = one_value(5, c.minimum, c.maximum, c.step);
        setting.set_value(0, c.set);
        EXPECT_DOUBLE_EQ(setting.value(0), c.stored) << c.set << " in steps of " << c.step;
    }
    // An initial value below the minimum becomes the minimum.
    EXPECT_DOUBLE_EQ(one_value(0, 0.1, 360, 0.1).value(0), 0.1);
    // The value follows the last bound set.
    auto c = one_value(3, 0, 10, 1);
    c.set_minimum(0, 5);
    EXPECT_EQ(c.value(0), 5);
    c.set_maximum(0, 2);
    EXPECT_EQ(c.value(0), 2);
}

// Numbers compare values and limits but not steps, and take no setting of
// another kind. (A menu's copy: through the studio's change test.)
TEST(Settings, EqualsAndCopyTakeTheirOwnKindOnly) {
    auto a = one_value(3, 0, 10, 1);
    auto b = one_value(3, 0, 10, 0.5);
    EXPECT_TRUE(a.equals(b));
    b.set_maximum(0, 11);
    EXPECT_FALSE(a.equals(b));
    a.copy_from(b);
    EXPECT_TRUE(a.equals(b));
    cfg_menu menu(nullptr, "TYPE", false, 1.0, {"UINT8"});
    EXPECT_FALSE(a.equals(menu));
    a.copy_from(menu); // another kind is ignored
    EXPECT_EQ(a.maximum(0), 11);
}

TEST(NumberSetting, ReadsValueListsOfItsOwnName) {
    cfg_FP64 size(nullptr, "SIZE", false, 1.0, {{1, 1, 100, 1}, {1, 1, 100, 1}, {1, 1, 1, 1}});
    auto e = parse("<WAVE>"
                   "<VALUELIST name=size scope=PuBlIc title=\"The size\" id=wave.size "
                   "idref=gifin.size version=2.5>"
                   "<desc>How big</desc><v min=-5 max=500>300</v><v>7.6</v><v>9</v><v>4</v>"
                   "</VALUELIST>"
                   "<valuelist name=other><v>50</v></valuelist>"
                   "<menu name=size><v>60</v></menu>"
                   "</WAVE>");
    size.read("SIZE", *e);
    EXPECT_EQ(size.value(0), 300);
    EXPECT_EQ(size.minimum(0), -5);
    EXPECT_EQ(size.value(1), 8);
    EXPECT_EQ(size.value(2), 1); // a fourth value element is ignored, the third clamps
    EXPECT_TRUE(size.shown());
    const description& d = size.desc();
    EXPECT_EQ(std::tuple(d.title, d.text, d.id, d.idref, d.version),
              std::tuple("The size", "How big", "wave.size", "gifin.size", 2.5));

    auto hidden = parse("<W><valuelist name=SIZE scope=private><v></v></valuelist></W>");
    cfg_FP64 fresh(nullptr, "SIZE", true, 1.0, {{5, 1, 100, 1}});
    fresh.read("SIZE", *hidden);
    EXPECT_FALSE(fresh.shown());
    EXPECT_EQ(fresh.value(0), 1); // an empty text sets 0, clamped to the minimum of 1

    // Later value lists override earlier ones.
    auto frames = one_value(8, 1, 32, 1);
    auto twice = parse("<cpu><valuelist name=FRAMES.CONTROL><v>12</v></valuelist>"
                       "<valuelist name=frames.control><v>20</v></valuelist></cpu>");
    frames.read("FRAMES.CONTROL", *twice);
    EXPECT_EQ(frames.value(0), 20);
}

// Editors come and go while their settings change: an observation may end
// during a notification (its own or another's) and may outlive the setting.
TEST(SettingObservers, HearChangesOnlyWhileTheirObservationLives) {
    config::observation outliving;
    std::string heard;
    {
        cfg_menu m(nullptr, "WHICH", false, 1.0, {"1", "2", "3"}, 0);
        config::observation second;
        config::observation first = m.observe([&](config&, bool setting_change) {
            heard += setting_change ? "first;" : "first(plain);";
            second.cancel();
        });
        second = m.observe([&](config&, bool) { heard += "second;"; });
        outliving = m.observe([&](config&, bool) { heard += "third;"; });
        m.select(1);
        EXPECT_EQ(heard, "first;third;");
        first.cancel();
        m.select(2);
        EXPECT_EQ(heard, "first;third;third;");
    }
    outliving.cancel(); // the setting is gone: nothing to leave
    config::observation moved = std::move(outliving);
}

TEST(MenuSetting, ReadsLabelsAndSelectsOnlyNamedItems) {
    cfg_menu type(nullptr, "TYPE", false, 1.0, {"UINT8", "UINT16"}, 0);
    auto big = parse("<X><menu name=TYPE><i>small</i><i selected=true>big</i></menu></X>");
    type.read("TYPE", *big);
    EXPECT_EQ(type.label(1), "big");
    EXPECT_EQ(type.label(0), "small");
    EXPECT_EQ(type.selected(), 0);
    auto wide = parse("<X><menu name=type><i>a</i><i selected=true>uint16</i></menu></X>");
    type.read("TYPE", *wide);
    EXPECT_EQ(type.selected(), 1);
    auto by_value = parse("<X><menu name=TYPE><i selected=true value=uint8>Bytes</i></menu></X>");
    type.read("TYPE", *by_value);
    EXPECT_EQ(type.selected(), 0);
    EXPECT_EQ(type.label(0), "Bytes");
}

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
    auto s = std::make_unique<script>(write_file(name, text), program(), program_factory());
    EXPECT_TRUE(s->load());
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
    // (Listed and archived names: through the catalogue's test.)
    EXPECT_EQ(file_stem("some/dir/rings.v2.zoml"), "rings");
    EXPECT_EQ(file_stem("a.b\\c"), "c");
}

TEST(Script, TheExampleEffectRunsEndToEnd) {
    auto s = load("example.zoml", example_effect);
    const description& d = s->desc();
    EXPECT_EQ(std::tuple(d.name, d.type, d.text, d.title),
              std::tuple("example", "Standard", "Test network", "Test"));
    ASSERT_EQ(s->component_count(), 2);
    component& ten = (*s->component_with_id("TEN")); // ids are found ignoring case
    port& in = port_of((*s->component_with_id("check")), "IN.small");
    EXPECT_EQ(in.peer(), &port_of(ten, "OUT.integer"));

    ASSERT_TRUE(s->start());
    int begun = 0, done = 0;
    std::vector<int> progress;
    s->on_run_begin = [&] { ++begun; };
    s->on_progress = [&](int fired, int count) { progress.push_back(fired * 10 + count); };
    s->on_frame_done = [&] { ++done; };

    // One step: the constant fires first and its two 10s arrive at the test input.
    ASSERT_TRUE(s->run(true));
    ASSERT_TRUE(in.holds_matrix());
    EXPECT_EQ(testing::values_of(in.get_matrix()), (testing::list{10, 10}));

    EXPECT_EQ(printed([&] { EXPECT_TRUE(s->run(false)); }), "exporting!\n");
    EXPECT_EQ(std::pair(begun, done), std::pair(1, 1));
    EXPECT_EQ(progress, (std::vector<int>{12, 22}));
    EXPECT_FALSE(in.holds_matrix());
    EXPECT_FALSE(ten.fired());

    // The next run starts afresh.
    printed([&] { EXPECT_TRUE(s->run(false)); });
    EXPECT_EQ(std::pair(begun, done), std::pair(2, 2));
}

// Only the exact name GIFOUT is held back: "gifout" is scheduled like any other.
TEST(Script, SingleStepFiresOneComponentPerCallAndTheSinkLast) {
    script s("steps.zoml", program(), program_factory());
    s.add_component("INTEGER10");
    component* sink = s.add_component("TEST_DOESNT_EXPORT");
    sink->desc().name = "GIFOUT";
    component* lower = s.add_component("TEST_DOESNT_EXPORT");
    lower->desc().name = "gifout";
    s.add_component("INTEGER1");
    std::vector<std::string> fired;
    int done = 0;
    s.on_progress = [&](int count, int) { fired.push_back(std::to_string(count)); };
    s.on_frame_done = [&] { ++done; };
    ASSERT_TRUE(s.start());
    printed([&] {
        for (int call = 1; call <= 3; ++call) {
            EXPECT_TRUE(s.run(true));
            EXPECT_EQ(done, 0) << call;
        }
        EXPECT_FALSE(sink->fired());
        EXPECT_TRUE(lower->fired());
        EXPECT_TRUE(s.run(true)); // the fourth call fires the sink
    });
    EXPECT_EQ(done, 1);
    EXPECT_EQ(fired, (std::vector<std::string>{"1", "2", "3"}));
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
            outcome result = s->start();
            EXPECT_EQ(bool(result), c.starts) << c.name;
            if (result)
                result = s->run(false);
            EXPECT_FALSE(result) << c.name;
            error = result.message();
        });
        EXPECT_EQ(error, c.error);
        EXPECT_NE(out.find(c.printed), std::string::npos) << out;
        EXPECT_TRUE(every_component_reset(*s)) << c.name;
    }
}

// Configs bind by idref at start; inputs sharing an id connect only once.
TEST(Script, BindsConfigsByIdrefAndConnectsInputsByIdOnce) {
    auto s = load("bind.zoml",
                  "<e><INTEGER10 id=a><valuelist name=SIZE id=a.size><v>5</v><v>3</v></valuelist>"
                  "<out name=OUT.integer id=o1></out></INTEGER10>"
                  "<INTEGER1 id=b><valuelist name=SIZE idref=a.size></valuelist>"
                  "<valuelist name=VALUE id=self idref=self></valuelist>"
                  "<out name=OUT.integer id=o2></out></INTEGER1>"
                  "<INTEGER1 id=c><valuelist name=SIZE idref=A.SIZE></valuelist></INTEGER1>"
                  "<TEST id=t><in name=IN.small id=same idref=o1></in>"
                  "<in name=IN.big id=same idref=o2></in></TEST></e>");
    component& t = (*s->component_with_id("t"));
    EXPECT_TRUE(port_of(t, "IN.small").connected());
    EXPECT_FALSE(port_of(t, "IN.big").connected());
    component& a = (*s->component_with_id("a"));
    component& b = (*s->component_with_id("b"));
    component& c = (*s->component_with_id("c"));
    EXPECT_EQ(setting_named(b, "SIZE").bound_partner(), &setting_named(a, "SIZE"));
    EXPECT_EQ(setting_named(c, "SIZE").bound_partner(), nullptr); // ids bind exactly
    EXPECT_EQ(setting_named(b, "VALUE").bound_partner(), &setting_named(b, "VALUE"));
    ASSERT_TRUE(s->start());
    EXPECT_EQ(number_named(b, "SIZE").value(0), 5);
    EXPECT_EQ(number_named(b, "SIZE").value(1), 3);
    EXPECT_EQ(number_named(b, "VALUE").value(0), 1);
}

// What the loader passes over is noted, one note per place, and the network
// is wired exactly as it would be without the notes. (Inputs sharing an id,
// two listeners on one output and a misspelt port: the renderer's --check
// test holds their notes to their whole lines.)
TEST(ScriptNotes, EachSilentlySkippedPlaceIsNotedWithItsReason) {
    using kind = load_note::kind;
    struct expectation {
        const char* name;
        const char* text;
        kind what;
        const char* id;
        const char* reason;
    } cases[] = {
        {"own_output",
         "<e><TEST id=t><out name=OUT.small id=mine></out>"
         "<in name=IN.small id=back idref=mine></in></TEST></e>",
         kind::refused_connection, "back", "same component"},
        {"output_as_input",
         "<e><INTEGER1><out name=OUT.integer id=o></out></INTEGER1>"
         "<TEST id=t><in name=OUT.small id=wrong idref=o></in></TEST></e>",
         kind::refused_connection, "wrong", "same direction"},
        {"config_idref",
         "<e><INTEGER1 id=a><valuelist name=SIZE idref=nowhere></valuelist></INTEGER1></e>",
         kind::unmatched_config_idref, "SIZE", "idref \"nowhere\" matches no setting id"},
        {"setting_name",
         "<e><INTEGER1 id=a><valuelist name=VALEU><v>3</v></valuelist></INTEGER1></e>",
         kind::unmatched_setting_element, "VALEU", "no setting of that name"},
        {"setting_kind", "<e><INTEGER1 id=a><menu name=VALUE><i>3</i></menu></INTEGER1></e>",
         kind::unmatched_setting_element, "VALUE", "read from <menu>"},
    };
    for (const expectation& c : cases) {
        SCOPED_TRACE(c.name);
        auto s = load(std::string(c.name) + ".zoml", c.text);
        std::vector<load_note> problems;
        for (const load_note& n : s->load_notes())
            if (n.problem())
                problems.push_back(n);
        ASSERT_EQ(problems.size(), 1u);
        EXPECT_EQ(problems[0].what, c.what);
        EXPECT_EQ(problems[0].id, c.id);
        EXPECT_NE(problems[0].reason.find(c.reason), std::string::npos) << problems[0].reason;
        EXPECT_EQ(problems[0].element.rfind("<", 0), 0u) << problems[0].element;
    }
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
        {"deep.zoml", deep, "nested deeper than 64 levels"},
        {"many.zoml", many + "</e>", "more than 128 components"},
    };
    for (const auto& c : cases) {
        script s(write_file(c.name, c.text), program(), program_factory());
        const std::string error = s.load().message();
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
        EXPECT_NE(error.find(c.name), std::string::npos) << error;
        EXPECT_EQ(s.component_count(), 0) << c.name;
        EXPECT_TRUE(s.configs().empty());
    }
    script missing("no/such/file.zoml", program(), program_factory());
    printed_lines().clear();
    EXPECT_EQ(missing.load().message(), "Cannot open the effect file \"no/such/file.zoml\".");
    EXPECT_EQ(printed_lines().errors(), "BAD file name\n");
}

TEST(Component, LooksUpNamesIgnoringCaseFirstRegisteredWins) {
    test_component t(test_component::good);
    EXPECT_EQ(&setting_named(t, "size.SMALL"), &t.config_at(1));
    EXPECT_EQ(&port_of(t, "in.BIG"), &t.port_at(3));
}

TEST(Component, AFailedSendStopsTheRemainingOutputsButReleasesAll) {
    test_component source(test_component::good), narrow(test_component::good),
        wide(test_component::good);
    // OUT.small (2 x 1) goes to an input that wants 7 x 4: refused.
    ASSERT_TRUE(port::connect(port_of(source, "OUT.small"), port_of(narrow, "IN.big")));
    ASSERT_TRUE(port::connect(port_of(source, "OUT.big"), port_of(wide, "IN.big")));
    outcome fired = outcome::success();
    printed([&] { fired = source.fire(); });
    EXPECT_EQ(fired.message(), "matrix fails size");
    EXPECT_FALSE(source.fired());
    EXPECT_FALSE(port_of(wide, "IN.big").holds_matrix()); // not sent after the failure
    for (int i = 0; i < source.port_count(); ++i)
        EXPECT_FALSE(source.port_at(i).holds_matrix());
}

TEST(Component, CopiesConfigsPositionally) {
    constant a(10), b(20);
    number_named(a, "SIZE").set_maximum(1, 100);
    number_named(a, "SIZE").set_value(1, 50);
    menu_named(a, "TYPE").select(1);
    b.copy_configs_from(a);
    EXPECT_EQ(number_named(b, "VALUE").value(0), 10);
    EXPECT_EQ(number_named(b, "SIZE").value(1), 50);
    EXPECT_EQ(number_named(b, "SIZE").maximum(1), 100);
    EXPECT_EQ(menu_named(b, "TYPE").selected_name(), "UINT16"); // the last one too
}

matrix_ptr filled(std::uint16_t x, std::uint16_t y, bool wide, unsigned value) {
    return testing::plane(wide ? "UINT16" : "UINT8", x, y, [=](int, int) { return value; });
}

TEST(Audit, WritesTheExactReportOfEveryFailure) {
    test_component owner(test_component::good);
    port& in = port_of(owner, "IN.small");
    auto wide = filled(2, 1, true, 5);
    // The report a refused hold prints is the port's audit report.
    const std::string report = in.audit_report(*wide);
    EXPECT_EQ(printed([&] { EXPECT_EQ(in.hold(wide).message(), "matrix fails type"); }), report);
    ASSERT_TRUE(wide); // a refused matrix stays with the party that offered it
    auto dump = [](const description& d) { return d.dump_text(); };
    EXPECT_EQ(
        report,
        "***** \"TEST\" ****** FAILED AUDIT:matrix fails type ******** \"IN.small\" *********\n"
        "------PORT------\n" +
            dump(in.desc()) + "Current Matrix Type:UINT8\n" +
            dump(setting_named(owner, "VALUE").desc()) +
            dump(setting_named(owner, "SIZE.small").desc()) +
            "Connected Port:none\nLoaded Matrix:none\nDIRECTION:in\n"
            "------MATRIX------\n"
            "Dimension0 = 2\nDimension1 = 1\nDimension2 = 1\n"
            "U32_size:2\nU32_mem_size:4\nU8_element_size:2\n" +
            std::string(69, '*') + "\n");

    // After a matrix that fails the audit, a size or value failure writes its own first line.
    std::string reason;
    auto first_line = [&](const matrix_ptr& m) {
        const std::string report = printed([&] { reason = in.audit(*m).message(); });
        return report.substr(0, report.find('\n') + 1);
    };
    EXPECT_EQ(first_line(filled(3, 1, false, 1)), "3 x 1 x 1 != 2 x 1 x 1\n");
    EXPECT_EQ(reason, "matrix fails size");

    // A maximum of 65535 on a "UINT8" port audits against its low 8 bits: 255.
    number_named(owner, "VALUE").set_maximum(0, 65535);
    EXPECT_TRUE(in.audit(*filled(2, 1, false, 255)));
    EXPECT_EQ(in.audit_report(*filled(2, 1, false, 255)), "");
    // A maximum of 256 truncates to 0 and refuses every non-zero element.
    number_named(owner, "VALUE").set_maximum(0, 256);
    EXPECT_EQ(first_line(filled(2, 1, false, 1)), "offending U8_value:1\n");
    EXPECT_EQ(reason, "matrix fails value");

    menu_named(owner, "TYPE").select(1);
    number_named(owner, "VALUE").set_maximum(0, 1000);
    EXPECT_EQ(first_line(filled(2, 1, true, 1001)), "offending U16_value:1001(0-1000)\n");
}

TEST(Port, MakesFillValueMatricesAndHandsThemOver) {
    constant ten(10);
    test_component sink(test_component::good);
    port& out = port_of(ten, "OUT.integer");
    port& in = port_of(sink, "IN.small");
    number_named(ten, "SIZE").set_value(0, 2);

    // An input that received nothing answers with a fill-value matrix.
    EXPECT_EQ(in.get_matrix().value_at(1), 127u);
    in.release();

    // An unconnected output keeps its matrix and succeeds.
    auto held = out.make_matrix(true);
    ASSERT_TRUE(out.hold(held));
    EXPECT_TRUE(out.send());
    EXPECT_TRUE(out.holds_matrix());
    out.release();
    EXPECT_FALSE(out.holds_matrix());

    // A connected output with nothing held sends its fill value.
    ASSERT_TRUE(port::connect(out, in));
    EXPECT_TRUE(out.send());
    EXPECT_FALSE(out.holds_matrix());
    ASSERT_TRUE(in.holds_matrix());
    EXPECT_EQ(testing::values_of(in.get_matrix()), (testing::list{10, 10}));

    // Fill values are truncated to the element width.
    constant big(300);
    EXPECT_EQ(port_of(big, "OUT.integer").make_matrix(true)->value_at(0), 300u & 0xFF);
    menu_named(big, "TYPE").select(1);
    EXPECT_EQ(port_of(big, "OUT.integer").make_matrix(true)->value_at(0), 300u);
}

// A port's title and a type that replaces its class are read; an output's idref is not.
TEST(Port, ReadsItsAttributesFromTheComponentElement) {
    test_component owner(test_component::good);
    auto root = parse("<TEST><in name=in.small id=check.in idref=ten.out title=Small></in>"
                      "<out name=OUT.SMALL id=check.out idref=ignored type=SPECIAL></out></TEST>");
    owner.store_element(root.get());
    owner.read_element();
    const description& in = port_of(owner, "IN.small").desc();
    EXPECT_EQ(std::tuple(in.id, in.idref, in.title), std::tuple("check.in", "ten.out", "Small"));
    const description& out = port_of(owner, "OUT.small").desc();
    EXPECT_EQ(std::pair(out.class_name, out.has_idref()), std::pair(std::string("SPECIAL"), false));
}

matrix make(int dims, std::uint16_t x, std::uint16_t y, std::uint16_t z, bool wide) {
    const std::uint16_t sizes[3] = {x, y, z};
    return matrix(dims, sizes, wide ? 2 : 1, wide ? "UINT16" : "UINT8");
}

TEST(Matrix, LayoutPutsXFastestThenYThenZAndFillsEveryElement) {
    matrix two = make(2, 5, 4, 9, false);
    EXPECT_EQ(two.size(2), 1); // sizes beyond the dimension count are 1
    EXPECT_EQ(two.element_count(), 20u);

    matrix m = make(3, 3, 2, 2, true);
    EXPECT_EQ(m.byte_size(), 24u);
    EXPECT_EQ(m.element_address(2, 1, 1) - m.data(), 22);
    std::uint16_t v = 0xBEEF;
    m.set_element(&v, 2, 1, 1);
    EXPECT_EQ(m.value_at(2, 1, 1), 0xBEEFu);
    EXPECT_EQ(m.data()[22], 0xEF); // native little-endian order

    // A fill value goes into every element; clones are independent.
    const std::uint16_t sizes[3] = {3, 3, 1};
    std::uint16_t fill = 500;
    const matrix filled(3, sizes, 2, "UINT16", &fill);
    EXPECT_EQ(testing::values_of(filled), testing::list(9, 500));
    auto copy = filled.clone();
    copy->u16(1, 1) = 7;
    EXPECT_EQ(filled.value_at(1, 1), 500u);
    EXPECT_EQ(std::tuple(copy->type_name(), copy->dimension_count()), std::tuple("UINT16", 3));
}

TEST(Dumps, WriteMatrixValuesAndDescriptionFieldsInTheirOrder) {
    // (The sizes' dump is pinned by the audit report.)
    const auto square = testing::plane("UINT8", 2, 2, {1, 2, 3, 4});
    EXPECT_EQ(square->dump_text(1), "  1   2 \n  3   4 \n");

    matrix planes = make(3, 1, 1, 2, true);
    planes.u16(0, 0, 0) = 65535;
    planes.u16(0, 0, 1) = 3;
    EXPECT_EQ(planes.dump_text(1), "65535 \n\n    3 \n\n");

    // A description dumps its colour bytes in their order.
    description d;
    d.color = 0x11223344; // bytes from the lowest: 68, 51, 34, 17
    d.idref = "hidden";
    d.version = 2.5;
    const std::string text = d.dump_text();
    EXPECT_NE(text.find("color:(51,34,17,68)\n"), std::string::npos);
    EXPECT_NE(text.find("version:2.5000\n"), std::string::npos);
    EXPECT_EQ(text.find("hidden"), std::string::npos); // the idref is not written
}

} // namespace
} // namespace zoetra
