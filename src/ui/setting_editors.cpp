#include "ui/setting_editors.hpp"

#include "app/services/messages.hpp"
#include "base/utility.hpp"
#include "ui/canvas.hpp"

namespace zoetra {
namespace {

constexpr int title_height = 12;

} // namespace

// ---- text -------------------------------------------------------------------

text_editor::text_editor(cfg_text& setting) : setting_editor(setting), setting_(setting) {
    for (int i = 0; i < setting.count(); ++i) {
        auto field = std::make_unique<text_control>(rect{}, where(), setting.text_at(i),
                                                    cfg_text::max_line + 1);
        field->on_change = [this, i](const std::string& text) { setting_.set_text_at(text, i); };
        fields_.push_back(std::move(field));
    }
}

rect text_editor::row(const rect& area, int count, int i) {
    const int height = count > 0 ? area.height / count : 0;
    const int top = area.y + i * height;
    return rect_between(area.x, top, area.right(), top + height);
}

void text_editor::changed() {
    bool changed = false;
    for (int i = 0; i < int(fields_.size()); ++i) {
        if (fields_[std::size_t(i)]->text() != setting_.text_at(i)) {
            fields_[std::size_t(i)]->assign(setting_.text_at(i));
            changed = true;
        }
    }
    if (changed)
        draw();
}

void text_editor::lay_out() {
    const rect area = this->area();
    for (int i = 0; i < int(fields_.size()); ++i) {
        text_control& field = *fields_[std::size_t(i)];
        field.set_target(where());
        field.set_area(inset(row(area, int(fields_.size()), i), 1));
        field.set_bounds(area);
    }
}

void text_editor::on_idle(int x, int y) {
    for (auto& f : fields_)
        f->idle(x, y);
}
void text_editor::on_mouse_down(int x, int y, int button) {
    lay_out();
    for (auto& f : fields_)
        f->mouse_down(x, y, button);
}
void text_editor::on_mouse_up(int x, int y, int button) {
    for (auto& f : fields_)
        f->mouse_up(x, y, button);
}
void text_editor::on_key(int ch, int x, int y) {
    for (auto& f : fields_)
        f->key(ch, x, y);
}
void text_editor::on_activate() {
    for (auto& f : fields_)
        f->show();
}
void text_editor::on_deactivate() {
    for (auto& f : fields_)
        f->hide();
}

void text_editor::draw() {
    if (!drawable())
        return;
    const rect area = this->area();
    buffer& target = *this->target();
    lay_out();
    for (int i = 0; i < int(fields_.size()); ++i) {
        {
            canvas c(target, area, skins());
            c.bevel(row(area, int(fields_.size()), i), ui_light, ui_dark);
        }
        fields_[std::size_t(i)]->refresh();
    }
    present(target, area);
}

// ---- menu -------------------------------------------------------------------

menu_editor::menu_editor(cfg_menu& setting)
    : setting_editor(setting), setting_(setting), menu_(
                                                      rect{}, where(),
                                                      [&] {
                                                          std::vector<std::string> names;
                                                          for (int i = 0; i < setting.count(); ++i)
                                                              names.push_back(setting.item_name(i));
                                                          return names;
                                                      }(),
                                                      setting.selected(), setting.switch_mode()) {
    menu_.on_change = [this](int i) { setting_.select(i); };
    for (int i = 0; i < setting.count(); ++i)
        menu_.set_label(i, setting.label(i));
}

rect menu_editor::menu_area(const rect& area) {
    return rect_between(area.x, area.y + title_height, area.right(), area.bottom());
}

bool menu_editor::in_one_row() const {
    return setting_.switch_mode() && area().height < one_row_height;
}

void menu_editor::lay_out() {
    const rect area = this->area();
    menu_.set_target(where());
    if (in_one_row()) {
        const int side = std::max(1, area.height - 4);
        menu_.set_area(
            rect_between(area.right() - 2 - side, area.y + 2, area.right() - 2, area.y + 2 + side));
        menu_.set_bounds(area);
        return;
    }
    menu_.set_area(menu_area(area));
    menu_.set_bounds(area);
    menu_.set_row_height(menu_area(area).height / std::max(1, menu_.count()));
}

void menu_editor::on_idle(int x, int y) {
    menu_.idle(x, y);
}

void menu_editor::on_mouse_down(int x, int y, int button) {
    lay_out();
    menu_.mouse_down(x, y, button);
}

void menu_editor::on_mouse_up(int x, int y, int button) {
    menu_.mouse_up(x, y, button);
}

void menu_editor::on_key(int ch, int x, int y) {
    if (setting_.desc().title == "EFFECT TYPE" || area().contains(x, y))
        menu_.key(ch, x, y);
}

void menu_editor::changed() {
    for (int i = 0; i < setting_.count(); ++i)
        menu_.set_label(i, setting_.label(i));
    if (menu_.selected() != setting_.selected()) {
        menu_.assign(setting_.selected());
        draw();
    }
}

void menu_editor::draw() {
    if (!drawable())
        return;
    const rect area = this->area();
    buffer& target = *this->target();
    {
        canvas c(target, area, skins());
        c.fill(area);
        c.bevel(area, ui_dark, ui_light);
        c.text(setting_.desc().title, area.x + 2,
               in_one_row() ? centred_baseline(area) : area.y + 10);
    }
    lay_out();
    menu_.refresh();
    present(target, area);
}

// ---- output file --------------------------------------------------------------

output_file_editor::output_file_editor(cfg_image_out& setting)
    : setting_editor(setting), setting_(setting) {}

rect output_file_editor::button(const rect& area) {
    return rect_between(area.x + 2, area.y + 2 + title_height, area.right() - 2, area.bottom() - 2);
}

void output_file_editor::ask_for_name() {
    if (auto name = choose_file_to_save("Please tell me where to save", "your.gif"))
        setting_.set_file_name(*name);
}

void output_file_editor::on_idle(int x, int y) {
    if (held_ && !button(area()).contains(x, y)) {
        held_ = false;
        draw();
    }
}

void output_file_editor::on_mouse_down(int x, int y, int) {
    if (button(area()).contains(x, y)) {
        held_ = true;
        draw();
    }
}

void output_file_editor::on_mouse_up(int, int, int) {
    if (!held_)
        return;
    held_ = false;
    ask_for_name();
    draw();
}

void output_file_editor::on_command(const std::string& category, const std::string& name) {
    if (category == "file" && name == "save") {
        setting_.set_name_chosen(true);
        ask_for_name();
    }
}

void output_file_editor::draw() {
    if (!drawable())
        return;
    const rect area = this->area();
    buffer& target = *this->target();
    canvas c(target, area, skins());
    c.fill(area);
    c.text(setting_.desc().title, area.x + 2, area.y + 10);
    const rect b = button(area);
    c.paint(b, ui_light);
    if (held_)
        c.bevel(b, ui_light, ui_dark);
    else
        c.bevel(b, ui_dark, ui_light);
    c.text(setting_.file_name(), b.x + 3, centred_baseline(b));
    present(target, area);
}

} // namespace zoetra
