#include "ui/editors.hpp"

#include "engine/text_settings.hpp"
#include "ui/number_editor.hpp"
#include "ui/palette_editor.hpp"
#include "ui/setting_editors.hpp"

namespace zoetra {

setting_editor::setting_editor(config& setting)
    : setting_(setting), observer_(setting.observe([this](config&, bool) { changed(); })) {}

setting_editor::~setting_editor() = default;

void setting_editor::idle(int x, int y) {
    if (visible_)
        on_idle(x, y);
}

void setting_editor::mouse_down(int x, int y, int button) {
    if (visible_)
        on_mouse_down(x, y, button);
}

void setting_editor::mouse_up(int x, int y, int button) {
    if (visible_)
        on_mouse_up(x, y, button);
}

void setting_editor::key(int ch, int x, int y) {
    if (visible_)
        on_key(ch, x, y);
}

void setting_editor::refresh() {
    if (visible_ && !area_.is_null())
        draw();
}

void setting_editor::activate() {
    visible_ = true;
    on_activate();
}

void setting_editor::deactivate() {
    visible_ = false;
    on_deactivate();
}

std::unique_ptr<setting_editor> make_editor(config& setting) {
    if (auto* number = dynamic_cast<cfg_FP64*>(setting.as_kind(cfg_FP64::kind)))
        return std::make_unique<number_editor>(*number);
    if (auto* menu = dynamic_cast<cfg_menu*>(setting.as_kind(cfg_menu::kind)))
        return std::make_unique<menu_editor>(*menu);
    if (auto* text = dynamic_cast<cfg_text*>(setting.as_kind(cfg_text::kind)))
        return std::make_unique<text_editor>(*text);
    if (auto* output = dynamic_cast<cfg_image_out*>(setting.as_kind(cfg_image_out::kind)))
        return std::make_unique<output_file_editor>(*output);
    if (auto* palette = dynamic_cast<cfg_image_in*>(setting.as_kind(cfg_image_in::kind)))
        return std::make_unique<palette_editor>(*palette);
    return nullptr;
}

} // namespace zoetra
