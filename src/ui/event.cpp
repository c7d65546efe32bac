#include "ui/event.hpp"

namespace zoetra {
namespace {

int named_key_character(key_name key, bool shift) {
    switch (key) {
    case key_name::left:
        return keys::left;
    case key_name::right:
        return keys::right;
    case key_name::up:
        return keys::up;
    case key_name::down:
        return keys::down;
    case key_name::insert:
        return keys::insert;
    case key_name::delete_key:
        return keys::delete_key;
    case key_name::tab:
        return shift ? keys::shift_tab : keys::tab;
    case key_name::backspace:
        return keys::backspace;
    case key_name::enter:
        return keys::enter;
    case key_name::none:
    case key_name::escape:
        break;
    }
    return 0;
}

// The code of a text that is exactly one character from 1 to 255 (UTF-8), or 0.
int single_character(const std::string& text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    if (text.size() == 1 && byte(0) < 0x80)
        return byte(0);
    // Two-byte forms of 128 to 255: 110000xx 10xxxxxx.
    if (text.size() == 2 && (byte(0) & 0xFE) == 0xC2 && (byte(1) & 0xC0) == 0x80)
        return ((byte(0) & 0x1F) << 6) | (byte(1) & 0x3F);
    return 0;
}

} // namespace

int key_character(const input_event& e) {
    if (e.type != input_event::kind::key)
        return 0;
    if (e.key != key_name::none)
        return named_key_character(e.key, e.shift);
    int ch = single_character(e.text);
    if (e.control && ch != 0) {
        const int letter = ch | 0x20;
        return letter >= 'a' && letter <= 'z' ? letter - 'a' + 1 : 0;
    }
    return ch;
}

} // namespace zoetra
