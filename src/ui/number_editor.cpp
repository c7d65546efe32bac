#include "ui/number_editor.hpp"

#include "base/utility.hpp"
#include "raster/text.hpp"
#include "ui/canvas.hpp"

#include <algorithm>

namespace zoetra {

namespace {
// Below this a typed number's field would not hold four digits.
constexpr int narrowest_field = 32;
} // namespace

std::vector<number_row> number_editor_layout(const rect& area, int count, bool text_field,
                                             bool dial) {
    std::vector<number_row> rows;
    if (count <= 0)
        return rows;
    const int x = area.x, w = area.width;
    const int height = area.height / count;
    for (int i = 0; i < count; ++i) {
        const int top = area.y + i * height;
        number_row row;
        row.title = rect_between(x, top, x + w, top + height);
        if (text_field && w / 4 - 4 < narrowest_field) {
            // A narrow row still gives the field room for four digits.
            const int field = std::min(narrowest_field + 4, w * 2 / 3);
            row.control = rect_between(x + w - 4 - field, top + 2, x + w - 4, top + 2 + height - 4);
            row.title = rect_between(x, top, x + w - 4 - field, top + height);
        } else if (text_field) {
            row.control = rect_between(x + 3 * w / 4, top + 2, x + 3 * w / 4 + w / 4 - 4,
                                       top + 2 + height - 4);
            row.title = rect_between(x, top, x + 3 * w / 4, top + height);
        } else if (dial) {
            row.control = rect_between(x + 3 * w / 4 - 5, top + 1, x + 3 * w / 4 - 5 + w / 4,
                                       top + 1 + height - 2);
            row.title = rect_between(x, top + 7, x + 3 * w / 4, top + 7 + height);
        } else {
            const int left = x + 2 * (w - 2) / 3 - 11;
            row.control =
                rect_between(left, top + 1, left + (w - 2) / 3 + 10, top + 1 + height - 2);
            row.title = rect_between(x, top, x + 2 * w / 3 - 21, top + height);
        }
        rows.push_back(row);
    }
    return rows;
}

number_editor::number_editor(cfg_FP64& setting) : setting_editor(setting), setting_(setting) {
    for (int i = 0; i < setting.count(); ++i) {
        auto slider =
            std::make_unique<slider_control>(rect{}, where(), setting.value(i), setting.minimum(i),
                                             setting.maximum(i), setting.step(i), setting.dial());
        slider->on_change = [this, i](double v) { setting_.set_value(i, v); };
        sliders_.push_back(std::move(slider));
    }
    if (setting.text_flag()) {
        field_ = std::make_unique<text_control>(rect{}, where(), "-", 5);
        show_value_in_field();
    }
}

void number_editor::show_value_in_field() {
    if (field_)
        field_->assign(format_for_step(setting_.value(0), setting_.step(0)));
}

void number_editor::commit() {
    setting_.set_value(0, read_number(field_->text()));
    show_value_in_field();
    field_->draw();
}

void number_editor::sync_controls() {
    for (int i = 0; i < int(sliders_.size()); ++i) {
        sliders_[std::size_t(i)]->set_target(where());
        sliders_[std::size_t(i)]->assign(setting_.value(i), setting_.minimum(i),
                                         setting_.maximum(i), setting_.step(i));
    }
    if (field_)
        field_->set_target(where());
}

// A value set from elsewhere (a network's start, another control) shows at once.
void number_editor::changed() {
    bool moved = false;
    for (int i = 0; i < int(sliders_.size()); ++i)
        moved = moved || sliders_[std::size_t(i)]->value() != setting_.value(i);
    sync_controls();
    show_value_in_field();
    if (visible() && (moved || field_))
        draw();
}

void number_editor::on_idle(int x, int y) {
    if (field_)
        field_->idle(x, y);
    else
        for (auto& s : sliders_)
            s->idle(x, y);
}

// A slider's value label stands right of its arrows and may reach past the
// setting's rectangle into this much room.
constexpr int label_room = 30;

rect number_editor::bounds() const {
    const rect area = this->area();
    return field_ ? area : rect_between(area.x, area.y, area.right() + label_room, area.bottom());
}

void number_editor::lay_out() {
    sync_controls();
    const rect area = this->area();
    const auto rows =
        number_editor_layout(area, setting_.count(), field_ != nullptr, setting_.dial());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        control& placed = field_ ? static_cast<control&>(*field_) : *sliders_[i];
        placed.set_area(rows[i].control);
        placed.set_bounds(bounds());
    }
}

void number_editor::on_mouse_down(int x, int y, int button) {
    lay_out();
    if (field_) {
        commit();
        field_->mouse_down(x, y, button);
    } else {
        for (auto& s : sliders_)
            s->mouse_down(x, y, button);
    }
}

void number_editor::on_mouse_up(int x, int y, int button) {
    if (field_)
        field_->mouse_up(x, y, button);
    else
        for (auto& s : sliders_)
            s->mouse_up(x, y, button);
}

void number_editor::on_key(int ch, int x, int y) {
    lay_out();
    if (field_) {
        if (ch == 13)
            commit();
        field_->key(ch, x, y);
    } else {
        for (auto& s : sliders_)
            s->key(ch, x, y);
    }
}

void number_editor::on_activate() {
    if (field_) {
        field_->show();
        for (auto& s : sliders_)
            s->hide();
    } else {
        for (auto& s : sliders_)
            s->show();
    }
}

void number_editor::on_deactivate() {
    if (field_)
        field_->hide();
    for (auto& s : sliders_)
        s->hide();
}

void number_editor::draw() {
    if (!drawable())
        return;
    const rect area = this->area();
    buffer* target = this->target();
    sync_controls();
    {
        canvas c(*target, area, skins());
        c.fill(area);
    }
    const auto rows =
        number_editor_layout(area, setting_.count(), field_ != nullptr, setting_.dial());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        control& shown = field_ ? static_cast<control&>(*field_) : *sliders_[i];
        shown.set_area(rows[i].control);
        shown.set_bounds(bounds());
        shown.refresh();
        // The title on one line, cut to its rectangle.
        const rect t = intersection(rows[i].title, area);
        canvas c(*target, rect_between(t.x + 2, t.y, t.right(), t.bottom()), skins());
        const int baseline = setting_.dial() ? t.y + 11 : centred_baseline(rows[i].title);
        c.text(setting_.desc().title, t.x + 2, baseline);
    }
    present(*target, area);
}

} // namespace zoetra
