#pragma once
// One input event, as the platform hands it to the program: a mouse press,
// release or move with its position and button, or a key with its name (for
// the keys that have one), the text it typed, and the modifiers held.
#include <string>

namespace zoetra {

enum class key_name {
    none,
    left,
    right,
    up,
    down,
    insert,
    delete_key,
    tab,
    backspace,
    enter,
    escape
};

struct input_event {
    enum class kind { mouse_down, mouse_up, mouse_move, key };
    kind type = kind::mouse_move;
    int x = 0;
    int y = 0;
    int button = 1;
    key_name key = key_name::none;
    std::string text; // what the key typed, UTF-8
    bool shift = false;
    bool control = false;

    static input_event mouse(kind type, int x, int y, int button = 1) {
        input_event e;
        e.type = type;
        e.x = x;
        e.y = y;
        e.button = button;
        return e;
    }
    static input_event named_key(key_name key, bool shift = false) {
        input_event e;
        e.type = kind::key;
        e.key = key;
        e.shift = shift;
        return e;
    }
    static input_event typed(std::string text, bool control = false) {
        input_event e;
        e.type = kind::key;
        e.text = std::move(text);
        e.control = control;
        return e;
    }
};

// The character codes of the toolkit's key protocol.
namespace keys {
inline constexpr int ctrl_b = 2, ctrl_c = 3, insert = 5, ctrl_g = 7, backspace = 8, tab = 9,
                     enter = 13, ctrl_s = 19, left = 28, right = 29, up = 30, down = 31,
                     delete_key = 127, shift_tab = 250;
} // namespace keys

// The character a key event gives: the named keys their codes (Tab with Shift
// gives 250), Control with a letter its control code (Ctrl+G is 7), and a
// typed character its code when it is one character of 1 to 255. Everything
// else (a lone modifier, Escape, characters beyond 255) gives 0: no key.
int key_character(const input_event& e);

} // namespace zoetra
