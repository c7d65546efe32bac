// The effect-file reader (tags, attributes, text, comments, references, broken
// files, nesting) and the settings that read their values from it.
#include "engine/config.hpp"
#include "engine/element.hpp"
#include "engine_test_support.hpp"

#include <gtest/gtest.h>

#include <cstring>

namespace zoetra {
namespace {

using testing_support::parse;

TEST(EffectReader, ReadsTagsAttributesTextAndChildren) {
    auto root = parse("<effect type=Standard description=\"Test network\">\n"
                      "  <description><title>Test</title></description>\n"
                      "  <INTEGER10 id=ten><out name=OUT.integer id=ten.out></out></INTEGER10>\n"
                      "</effect>");
    EXPECT_EQ(root->tag, "effect");
    EXPECT_EQ(root->attribute("type"), "Standard");
    EXPECT_EQ(root->attribute("description"), "Test network");
    ASSERT_EQ(root->children.size(), 2u);
    EXPECT_EQ(root->children[0]->children[0]->text, "Test");
    const element& constant = *root->children[1];
    EXPECT_EQ(constant.tag, "INTEGER10");
    EXPECT_EQ(constant.children[0]->attribute("id"), "ten.out");
    EXPECT_EQ(root->text, "\n  ");
}

TEST(EffectReader, UnquotedValuesStopAtBlanks) {
    auto quoted = parse("<a title=\"two words\"></a>");
    EXPECT_EQ(quoted->attribute("title"), "two words");
    auto bare = parse("<a title=two words></a>");
    EXPECT_EQ(bare->attribute("title"), "two");
    EXPECT_EQ(bare->attribute("words"), "");
    EXPECT_TRUE(element::present(bare->attribute("words")));
    EXPECT_EQ(bare->attribute("x = y"), no_such_element);
    auto spaced = parse("<a k = \"v=1\" k=again flag></a>");
    EXPECT_EQ(spaced->attribute("k"), "again"); // a repeated name replaces the value
    EXPECT_EQ(spaced->attribute("flag"), "");
    // The text that stands for absence reads as absent.
    auto absent = parse("<a title=\"Exception: NoSuchElement\"></a>");
    EXPECT_FALSE(element::present(absent->attribute("title")));
    EXPECT_FALSE(element::present(absent->attribute("missing")));
}

TEST(EffectReader, CommentsAndCarriageReturnsVanishAndSingleDashesStay) {
    auto root = parse("<a x=1 -- a note -- y=-5>te-xt--hidden--more</a>");
    EXPECT_EQ(root->attribute("x"), "1");
    EXPECT_EQ(root->attribute("y"), "-5");
    EXPECT_EQ(root->text, "te-xtmore");
    EXPECT_EQ(root->attributes.size(), 2u);
    // A comment may close a tag's last attribute right before ">".
    auto closing = parse("<a v=3--c-->x</a>");
    EXPECT_EQ(closing->attribute("v"), "3");
    EXPECT_EQ(closing->text, "x");
    auto returns = parse("<a\r title=\"one\r two\">\r\nline\r\n</a>\r\n");
    EXPECT_EQ(returns->attribute("title"), "one two");
    EXPECT_EQ(returns->text, "\nline\n");
}

TEST(EffectReader, EveryEndTagClosesTheCurrentElementWhateverItsName) {
    // "<b/>" is a start tag named "b/": it takes its following siblings.
    auto root = parse("<a><b/><c></c></b/></x></a>");
    ASSERT_EQ(root->children.size(), 1u);
    EXPECT_EQ(root->children[0]->tag, "b/");
    EXPECT_EQ(root->children[0]->children[0]->tag, "c");
    // Anything after the root's end tag is not read.
    auto tail = parse("<a></a><garbage");
    EXPECT_TRUE(tail->children.empty());
}

TEST(EffectReader, CharacterReferencesSpellWhatTheMarkupCannot) {
    auto root = parse("<menu name=MODE value=\"HSV-&gt;RGB\">RGB-&gt;HSV &lt;&amp;gt;&amp;</menu>");
    EXPECT_EQ(root->attribute("value"), "HSV->RGB");
    EXPECT_EQ(root->text, "RGB->HSV <&gt;&");
    EXPECT_EQ(decode_character_references("a & b &gt"), "a & b &gt");
}

TEST(EffectReader, RefusesBrokenFilesWithAReason) {
    struct broken {
        const char* text;
        const char* reason;
    } cases[] = {
        {"", "does not begin"},
        {"  effect>", "does not begin"},
        {"<effect><WAVE><in name=x>", "ends inside the element <in>"},
        {"<effect><WAVE>", "ends inside the element <WAVE>"},
        {"<effect", "ends where a tag was expected"},
        {"</effect>", "begins with an end tag"},
        {"<a -- never closed", "ends where a tag was expected"},
        {"<a>\0</a>", "ends inside the element <a>"},
    };
    for (const broken& c : cases) {
        element_tree tree = read_element_tree(std::string_view(c.text));
        EXPECT_FALSE(tree.root) << c.text;
        EXPECT_NE(tree.error.find(c.reason), std::string::npos) << c.text << ": " << tree.error;
    }
    std::string nul("<a>x\0</a>", 9);
    EXPECT_FALSE(read_element_tree(nul).root); // NUL is the end of the input
}

TEST(EffectReader, NestingIsBounded) {
    std::string deep, closing;
    for (int i = 0; i < 64; ++i) {
        deep += "<e>";
        closing += "</e>";
    }
    EXPECT_TRUE(read_element_tree(deep + closing).root);
    std::string deeper = "<e>" + deep + closing + "</e>";
    element_tree tree = read_element_tree(deeper);
    EXPECT_FALSE(tree.root);
    EXPECT_NE(tree.error.find("nested deeper than 64 levels"), std::string::npos);
    // A flood of start tags fails cleanly instead of recursing without bound.
    EXPECT_FALSE(read_element_tree(std::string(200000, '<') + "x>").root);
    std::string flood;
    for (int i = 0; i < 100000; ++i)
        flood += "<e>";
    EXPECT_FALSE(read_element_tree(flood).root);
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

TEST(NumberSetting, EqualsComparesValuesAndLimitsButNotSteps) {
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
    EXPECT_EQ(size.desc().title, "The size");
    EXPECT_EQ(size.desc().text, "How big");
    EXPECT_EQ(size.desc().id, "wave.size");
    EXPECT_EQ(size.desc().idref, "gifin.size");
    EXPECT_EQ(size.desc().version, 2.5);

    auto hidden = parse("<W><valuelist name=SIZE scope=private><v></v></valuelist></W>");
    cfg_FP64 fresh(nullptr, "SIZE", true, 1.0, {{5, 1, 100, 1}});
    fresh.read("SIZE", *hidden);
    EXPECT_FALSE(fresh.shown());
    EXPECT_EQ(fresh.value(0), 1); // an empty text sets 0, clamped to the minimum of 1
}

TEST(NumberSetting, LaterValueListsOverrideEarlierOnes) {
    auto frames = one_value(8, 1, 32, 1);
    auto e = parse("<cpu><valuelist name=FRAMES.CONTROL><v>12</v></valuelist>"
                   "<valuelist name=frames.control><v>20</v></valuelist></cpu>");
    frames.read("FRAMES.CONTROL", *e);
    EXPECT_EQ(frames.value(0), 20);
}

TEST(MenuSetting, SelectionWrapsBothWays) {
    cfg_menu m(nullptr, "WHICH", false, 1.0, {"1", "2", "3"}, 0);
    m.select(255);
    EXPECT_EQ(m.selected(), 2);
    m.select(3);
    EXPECT_EQ(m.selected(), 0);
    EXPECT_TRUE(m.select_by_name("2"));
    EXPECT_EQ(m.selected_name(), "2");
    EXPECT_FALSE(m.select_by_name("9"));
    EXPECT_EQ(m.selected(), 1);
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

TEST(MenuSetting, EqualsAndCopyUseTheSelection) {
    cfg_menu a(nullptr, "LOOP", false, 1.0, {"A", "B", "C"}, 0);
    cfg_menu b(nullptr, "LOOP", false, 1.0, {"A", "B", "C"}, 2);
    EXPECT_FALSE(a.equals(b));
    a.copy_from(b);
    EXPECT_TRUE(a.equals(b));
    EXPECT_EQ(a.as_kind("cfg_menu"), &a);
    EXPECT_EQ(a.as_kind("CFG_MENU"), nullptr); // kind names compare exactly
}

} // namespace
} // namespace zoetra
