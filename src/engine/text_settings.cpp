#include "engine/text_settings.hpp"

namespace zoetra {

cfg_text::cfg_text(component* owner, std::string name, bool shown, double version,
                   std::vector<std::string> lines)
    : config(owner, kind, std::move(name), shown, version), lines_(std::move(lines)) {
    if (lines_.empty())
        lines_.emplace_back();
    for (auto& line : lines_)
        if (line.size() > max_line)
            line.resize(max_line);
}

void cfg_text::set_text_at(const std::string& text, int i) {
    if (i < 0 || i >= count())
        return;
    lines_[i] = text.substr(0, max_line);
    changed();
}

bool cfg_text::equals(const config& other) const {
    const auto* that = dynamic_cast<const cfg_text*>(other.as_kind(kind));
    return that != nullptr && that->lines_ == lines_;
}

void cfg_text::copy_from(const config& other) {
    const auto* that = dynamic_cast<const cfg_text*>(other.as_kind(kind));
    if (that == nullptr || that == this)
        return;
    for (int i = 0; i < count() && i < that->count(); ++i)
        if (lines_[i] != that->lines_[i])
            set_text_at(that->lines_[i], i);
}

void cfg_text::read_value(int k, const element& value) {
    if (k < count())
        set_text_at(value.text, k);
}

cfg_image_out::cfg_image_out(component* owner, std::string name, bool shown, double version,
                             std::string file_name)
    : config(owner, kind, std::move(name), shown, version),
      file_name_(file_name.substr(0, max_name)) {}

void cfg_image_out::set_file_name(const std::string& name) {
    std::string cut = name.substr(0, max_name);
    if (cut.empty() || cut == file_name_)
        return;
    file_name_ = std::move(cut);
    changed(false);
}

bool cfg_image_out::equals(const config& other) const {
    const auto* that = dynamic_cast<const cfg_image_out*>(other.as_kind(kind));
    return that != nullptr && that->file_name_ == file_name_;
}

void cfg_image_out::copy_from(const config& other) {
    if (const auto* that = dynamic_cast<const cfg_image_out*>(other.as_kind(kind)))
        set_file_name(that->file_name_);
}

} // namespace zoetra
