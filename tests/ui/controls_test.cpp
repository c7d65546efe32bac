#include "ui/menu.hpp"
#include "ui/slider.hpp"
#include "ui/text_field.hpp"
#include "ui_support.hpp"

#include <gtest/gtest.h>

namespace zoetra {
namespace {

using testing::ui_test;

class Controls : public ui_test {
  protected:
    template <class C> C& visible(C& c) {
        c.set_target(where());
        c.show();
        return c;
    }
};

// (Values settle as a number setting's do: the settings' tests check that.)
TEST_F(Controls, TheSliderTellsOfChangesOnly) {
    slider_control s(rect{100, 50, 80, 14}, where(), 0, 0, 10, 0.5);
    int told = 0;
    s.on_change = [&](double) { ++told; };
    s.set_value(0.1); // settles to what it was
    s.set_value(1);
    EXPECT_EQ(told, 1);
}

TEST_F(Controls, TheSliderLabelFollowsTheStep) {
    const struct {
        double step;
        const char* label;
    } cases[] = {{1, "3"}, {2, "4"}, {0.25, "3.2"}, {0.1, "3.2"}, {0.05, "3.20"}, {0, "3.21"}};
    for (const auto& c : cases) {
        slider_control s(rect{10, 10, 80, 14}, surface{}, 3.21, 0, 10, c.step);
        EXPECT_EQ(s.layout().label_text, c.label) << c.step;
    }
}

// (Where the horizontal slider's parts lie shows in the presses and the drawing below.)
TEST_F(Controls, TheSliderLaysOutItsLabelPastTheRightEdgeAndNoneWhenVertical) {
    slider_control s(rect{100, 50, 80, 14}, surface{}, 5, 0, 10, 1);
    EXPECT_EQ(s.layout().label.x, 154);
    EXPECT_EQ(s.extent(), (rect{88, 50, 106, 14}));
    slider_control vertical(rect{10, 10, 20, 100}, surface{}, 10, 0, 10, 1, false, true);
    EXPECT_EQ(vertical.layout().track, (rect{15, 10, 30, 100}));
    EXPECT_EQ(vertical.layout().thumb, (rect{15, 100, 30, 10}));
    EXPECT_TRUE(vertical.layout().label.empty());
}

TEST_F(Controls, AnArrowPressSteps_ATrackPressDrags) {
    slider_control& s = visible(*new slider_control(rect{100, 50, 80, 14}, where(), 5, 0, 10, 1));
    std::unique_ptr<slider_control> owner(&s);
    s.mouse_down(90, 55, 1); // the left arrow lies outside the rectangle
    EXPECT_EQ(s.value(), 4);
    EXPECT_FALSE(s.pressed());
    EXPECT_TRUE(s.left_arrow_held());
    s.idle(120, 55); // off the arrow: released, no drag
    EXPECT_FALSE(s.left_arrow_held());
    EXPECT_EQ(s.value(), 4);
    s.mouse_up(120, 55, 1);

    s.mouse_down(145, 55, 1); // the right arrow lies inside: a step, no drag
    EXPECT_EQ(s.value(), 5);
    EXPECT_FALSE(s.pressed());
    s.mouse_up(145, 55, 1);

    s.mouse_down(110, 55, 1);
    EXPECT_TRUE(s.pressed());
    s.idle(130, 55); // 30 of 40 along the track
    EXPECT_EQ(s.value(), 8);
    s.idle(60000, 55); // far left of the window: counts as 0
    EXPECT_EQ(s.value(), 0);
    s.idle(400, 55);
    EXPECT_EQ(s.value(), 10);
    s.mouse_up(400, 55, 1);
    EXPECT_FALSE(s.pressed());
    s.idle(110, 55);
    EXPECT_EQ(s.value(), 10);

    slider_control still(rect{100, 50, 80, 14}, where(), 5, 0, 10, 0);
    visible(still).mouse_down(145, 55, 1); // a step of 0 moves nothing
    EXPECT_EQ(still.value(), 5);
}

TEST_F(Controls, TheDialTurnsCounterClockwiseFromThreeOClock) {
    slider_control dial(rect{100, 100, 40, 40}, where(), 50, 0, 100, 0, true);
    visible(dial).mouse_down(120, 120, 1);
    dial.idle(139, 120); // right of the centre
    EXPECT_EQ(dial.value(), 0);
    dial.idle(120, 101); // straight up
    EXPECT_DOUBLE_EQ(dial.value(), 25);
    dial.idle(101, 120); // left
    EXPECT_DOUBLE_EQ(dial.value(), 50);
    dial.idle(120, 139); // down
    EXPECT_DOUBLE_EQ(dial.value(), 75);
    EXPECT_EQ(dial.layout().needle_x, 120); // the needle points down, half the side long
    EXPECT_EQ(dial.layout().needle_y, 140);
}

TEST_F(Controls, SliderKeysStepOnlyWithTheMouseOverIt) {
    slider_control s(rect{100, 50, 80, 14}, where(), 5, 0, 10, 1);
    visible(s);
    for (int ch : {int(','), int('4'), 28})
        s.key(ch, 110, 55);
    EXPECT_EQ(s.value(), 2);
    for (int ch : {int('.'), int('6'), 29})
        s.key(ch, 110, 55);
    EXPECT_EQ(s.value(), 5);
    s.key('.', 10, 10);
    EXPECT_EQ(s.value(), 5);
}

TEST_F(Controls, TheSliderDrawsItsThumbRaisedInTheSunkenTrack) {
    slider_control s(rect{100, 50, 80, 14}, where(), 0, 0, 10, 1);
    visible(s).draw();
    EXPECT_EQ(shown(100, 54), ui_highlight); // the thumb's top-left corner, over the track's
    EXPECT_EQ(shown(101, 55), ui_light);     // the thumb's face
    EXPECT_EQ(shown(103, 59), ui_mid);       // its lower-right edge
    EXPECT_EQ(shown(110, 54), ui_dark);      // the track's top edge
    EXPECT_EQ(shown(139, 59), ui_light);     // its lower-right corner
    EXPECT_EQ(presented.back(), s.extent());
    s.set_value(10); // the old thumb is erased
    EXPECT_EQ(shown(101, 55), ui_mid);
    EXPECT_EQ(shown(137, 55), ui_light);
}

TEST_F(Controls, TheMenuWrapsBothWaysAndTakesTwoAndEight) {
    menu_control m(rect{10, 10, 80, 60}, where(), {"ONE", "TWO", "THREE"}, 2);
    int changes = 0;
    m.on_change = [&](int) { ++changes; };
    visible(m).key('2', 0, 0);
    EXPECT_EQ(m.selected(), 0);
    m.key('8', 0, 0);
    EXPECT_EQ(m.selected(), 2);
    for (int ch : {int('z'), 31})
        m.key(ch, 0, 0);
    EXPECT_EQ(m.selected(), 1);
    for (int ch : {int('a'), 30})
        m.key(ch, 0, 0);
    EXPECT_EQ(m.selected(), 2);
    m.select(255);
    EXPECT_EQ(m.selected(), 2);
    m.select(3);
    EXPECT_EQ(m.selected(), 0);
    EXPECT_EQ(changes, 7); // every change but the selection of what was selected
}

TEST_F(Controls, TheMenuSelectsTheRowUnderTheMouseAndTheSwitchFlips) {
    menu_control m(rect{10, 10, 80, 60}, where(), {"ONE", "TWO", "two"});
    visible(m).mouse_down(20, 31, 1); // rows of 20
    EXPECT_EQ(m.selected(), 1);
    m.idle(20, 55);
    EXPECT_EQ(m.selected(), 2);
    m.mouse_up(20, 55, 1);
    m.idle(20, 15); // not pressed: nothing
    EXPECT_EQ(m.selected(), 2);
    EXPECT_TRUE(m.select_by_name("TWO"));
    EXPECT_EQ(m.selected(), 2); // the last match
    EXPECT_FALSE(m.select_by_name("four"));

    menu_control flip(rect{10, 80, 40, 40}, where(), {"OFF", "ON"}, 0, true);
    visible(flip).mouse_down(20, 90, 1);
    EXPECT_EQ(flip.selected(), 0); // a press alone does nothing
    flip.mouse_up(200, 200, 1);
    EXPECT_EQ(flip.selected(), 1);
    flip.mouse_down(5, 5, 1); // outside
    flip.mouse_up(20, 90, 1);
    EXPECT_EQ(flip.selected(), 1);
}

TEST_F(Controls, TheMenuDrawsTheSelectedRowSunkenWithoutSkins) {
    menu_control m(rect{10, 10, 80, 40}, where(), {"ONE", "TWO"});
    visible(m).draw();
    EXPECT_EQ(shown(10, 10), ui_dark); // row 0, selected: sunken
    EXPECT_EQ(shown(89, 29), ui_highlight);
    EXPECT_EQ(shown(10, 30), ui_highlight); // row 1: raised
    EXPECT_EQ(shown(89, 49), ui_dark);
}

TEST_F(Controls, TheTextFieldReplacesOnTheFirstKeyAndKeepsToItsLength) {
    text_control t(rect{10, 10, 100, 16}, where(), "old", 10);
    visible(t);
    t.key('x', 0, 0); // not editing: nothing
    EXPECT_EQ(t.text(), "old");
    t.mouse_down(20, 15, 1);
    EXPECT_TRUE(t.editing());
    t.key('a', 0, 0);
    t.key('b', 0, 0);
    EXPECT_EQ(t.text(), "ab");
    for (int ch : {8, 8, 8})
        t.key(ch, 0, 0); // Backspace on an empty text does nothing
    EXPECT_EQ(t.text(), "");
    for (char ch : std::string("0123456789AB"))
        t.key(ch, 0, 0);
    EXPECT_EQ(t.text(), "0123456789");
    t.key(28, 0, 0); // an arrow types nothing
    t.key(13, 0, 0);
    EXPECT_FALSE(t.editing());
    EXPECT_EQ(t.text(), "0123456789");
    t.mouse_down(20, 15, 1);
    t.mouse_down(200, 200, 1); // a click elsewhere ends editing
    EXPECT_FALSE(t.editing());
    EXPECT_FALSE(t.replace_on_next_key());

    text_control longest(rect{}, surface{}, std::string(300, 'x'), 200);
    EXPECT_EQ(longest.text().size(), 127u);
}

TEST_F(Controls, HiddenControlsIgnoreEverythingAndDrawNothing) {
    slider_control s(rect{100, 50, 80, 14}, where(), 5, 0, 10, 1);
    menu_control m(rect{10, 10, 80, 60}, where(), {"ONE", "TWO"});
    text_control t(rect{10, 100, 100, 16}, where(), "old", 10);
    s.mouse_down(145, 55, 1);
    m.mouse_down(20, 45, 1);
    t.mouse_down(20, 105, 1);
    s.draw();
    m.draw();
    t.draw();
    EXPECT_EQ(s.value(), 5);
    EXPECT_EQ(m.selected(), 0);
    EXPECT_FALSE(t.editing());
    EXPECT_TRUE(presented.empty());
}

} // namespace
} // namespace zoetra
