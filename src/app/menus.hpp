#pragma once
// The menu bar as a model: items with their command ids, texts, accelerator
// keys, checks and greyed states. The window renders it; the rules that fill
// and grey it live here, so they can be tested without a window.
#include <string>
#include <vector>

namespace zoetra {

namespace command_id {
inline constexpr int exit = 32771;
inline constexpr int remove_image = 32776;
inline constexpr int insert_image = 32777;
inline constexpr int create = 32778;
inline constexpr int save = 32779;
inline constexpr int calculate = 32794;
// Checkable: Save and Calculate use the fine colours.
inline constexpr int fine_colours = 32800;
inline constexpr int licence = 32797;
inline constexpr int about = 32798;
// "None available" of the Standard, Wave, Art and Still submenus.
inline constexpr int none_available = 128;
// Effect i of the catalogue is item i + 1; 64 effects at most are reachable.
inline constexpr int first_effect = 1;
inline constexpr int last_effect = 64;
} // namespace command_id

// A key that runs an item without opening its menu.
struct accelerator {
    enum class key { none, insert, letter };
    key kind = key::none;
    char letter = 0; // with Control held
    friend bool operator==(const accelerator&, const accelerator&) = default;
};

struct menu_item {
    int id = 0;
    std::string text; // with "&" before the mnemonic letter
    accelerator keys;
    bool enabled = true;
    bool checked = false;
    bool checkable = false;
    std::vector<menu_item> items; // a submenu when not empty
    friend bool operator==(const menu_item&, const menu_item&) = default;
};

inline menu_item make_item(int id, std::string text, accelerator keys = {}, bool enabled = true) {
    menu_item item;
    item.id = id;
    item.text = std::move(text);
    item.keys = keys;
    item.enabled = enabled;
    return item;
}

struct menu_bar {
    std::vector<menu_item> menus;
    friend bool operator==(const menu_bar&, const menu_bar&) = default;
};

// The four effect submenus of the Effects menu, in order.
inline constexpr const char* effect_types[4] = {"Standard", "Wave", "Art", "Still"};

} // namespace zoetra
