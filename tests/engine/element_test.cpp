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

} // namespace
} // namespace zoetra
