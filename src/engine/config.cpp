#include "engine/config.hpp"

#include <utility>

#include "base/utility.hpp"

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace zoetra {

config::config(component* owner, std::string kind_name, std::string name, bool shown,
               double version)
    : owner_(owner), kind_name_(std::move(kind_name)), shown_(shown) {
    description_.type = "CONFIG";
    description_.class_name = kind_name_;
    description_.name = name;
    description_.id = name;
    description_.title = std::move(name);
    description_.version = version;
}

config::~config() = default;

config::observation config::observe(change_observer observer) {
    const int id = observers_->next_id++;
    observers_->entries.emplace_back(id, std::move(observer));
    return observation(observers_, id);
}

config::observation& config::observation::operator=(observation&& other) noexcept {
    if (this != &other) {
        cancel();
        list_ = std::move(other.list_);
        id_ = std::exchange(other.id_, -1);
    }
    return *this;
}

void config::observation::cancel() {
    if (std::shared_ptr<observer_list> list = list_.lock())
        std::erase_if(list->entries, [this](const auto& entry) { return entry.first == id_; });
    list_.reset();
    id_ = -1;
}

void config::changed(bool setting_change) {
    // An observer may end its own or another's observation while it hears
    // of the change: each is looked up again just before it is called.
    const std::shared_ptr<observer_list> list = observers_;
    std::vector<int> ids;
    for (const auto& entry : list->entries)
        ids.push_back(entry.first);
    for (int id : ids) {
        auto found = std::find_if(list->entries.begin(), list->entries.end(),
                                  [id](const auto& entry) { return entry.first == id; });
        if (found == list->entries.end())
            continue;
        const change_observer observer = found->second;
        observer(*this, setting_change);
    }
}

std::string config::dump_text(int flag) const {
    return flag == 0 ? description_.dump_text() : std::string();
}

void config::read(const std::string& name, const element& component_element) {
    for (const auto& child : component_element.children) {
        if (!same_name(child->tag, setting_tag()))
            continue;
        const std::string& setting_name = child->attribute("name");
        if (!element::present(setting_name) || !same_name(setting_name, name))
            continue;
        read_common_attributes(*child);
        int k = 0;
        for (const auto& value : child->children) {
            if (same_name(value->tag, "desc"))
                description_.text = value->text;
            else
                read_value(k++, *value);
        }
    }
}

void config::read_common_attributes(const element& setting) {
    setting.take_attribute("title", description_.title);
    setting.take_attribute("class", description_.class_name);
    setting.take_attribute("type", description_.type);
    setting.take_attribute("description", description_.text);
    setting.take_attribute("id", description_.id);
    setting.take_attribute("idref", description_.idref);
    const std::string& version = setting.attribute("version");
    if (element::present(version))
        description_.version = read_number(version);
    const std::string& scope = setting.attribute("scope");
    if (element::present(scope))
        shown_ = same_name(scope, "public");
}

// ---- cfg_FP64 -------------------------------------------------------------

cfg_FP64::cfg_FP64(component* owner, std::string name, bool shown, double version,
                   std::vector<number> numbers, bool dial, bool text_flag)
    : config(owner, kind, std::move(name), shown, version), dial_(dial), text_flag_(text_flag) {
    numbers_.reserve(numbers.size());
    for (const number& n : numbers) {
        numbers_.push_back(number{n.minimum, n.minimum, n.maximum, n.step});
        set_value(count() - 1, n.value);
    }
}

cfg_FP64::cfg_FP64(component* owner, std::string name, bool shown, double value, double minimum,
                   double maximum, double step)
    : cfg_FP64(owner, std::move(name), shown, 1.0, {{value, minimum, maximum, step}}) {}

namespace {

// Rounds v to a multiple of step, halves away from zero.
double round_to_step(double v, double step) {
    if (!(step > 0))
        return v;
    double t = v >= 0 ? v + step / 2 : v - step / 2;
    double rounded = t - std::fmod(t, step);
    return std::isfinite(rounded) ? rounded : v;
}

} // namespace

double settle_value(double v, double minimum, double maximum, double step) {
    // Keep every stored value finite whatever arrives.
    if (std::isnan(v))
        v = 0;
    v = std::clamp(v, -DBL_MAX, DBL_MAX);
    v = round_to_step(v, step);
    if (v > maximum)
        v = maximum;
    if (v < minimum)
        v = minimum;
    return v;
}

void cfg_FP64::set_value(int i, double v) {
    number& n = numbers_[i];
    double old = n.value;
    n.value = settle_value(v, n.minimum, n.maximum, n.step);
    if (n.value != old) {
        changed();
    }
}

void cfg_FP64::set_minimum(int i, double v) {
    if (std::isnan(v))
        return;
    numbers_[i].minimum = v;
    if (numbers_[i].value < v)
        numbers_[i].value = v;
}

void cfg_FP64::set_maximum(int i, double v) {
    if (std::isnan(v))
        return;
    numbers_[i].maximum = v;
    if (numbers_[i].value > v)
        numbers_[i].value = v;
}

bool cfg_FP64::equals(const config& other) const {
    const auto* that = dynamic_cast<const cfg_FP64*>(other.as_kind(kind));
    if (that == nullptr || that->count() < count())
        return false;
    for (int i = 0; i < count(); ++i)
        if (value(i) != that->value(i) || minimum(i) != that->minimum(i) ||
            maximum(i) != that->maximum(i))
            return false;
    return true;
}

void cfg_FP64::copy_from(const config& other) {
    const auto* that = dynamic_cast<const cfg_FP64*>(other.as_kind(kind));
    if (that == nullptr || that == this)
        return;
    for (int i = 0; i < count() && i < that->count(); ++i) {
        set_minimum(i, that->minimum(i));
        set_maximum(i, that->maximum(i));
        set_value(i, that->value(i));
    }
}

void cfg_FP64::read_value(int k, const element& value) {
    if (k >= count())
        return;
    const std::string& minimum = value.attribute("min");
    if (element::present(minimum))
        set_minimum(k, read_number(minimum));
    const std::string& maximum = value.attribute("max");
    if (element::present(maximum))
        set_maximum(k, read_number(maximum));
    const std::string& step = value.attribute("step");
    if (element::present(step))
        set_step(k, read_number(step));
    set_value(k, read_number(value.text));
}

// ---- cfg_menu -------------------------------------------------------------

cfg_menu::cfg_menu(component* owner, std::string name, bool shown, double version,
                   std::vector<std::string> items, int selected, bool switch_mode)
    : config(owner, kind, std::move(name), shown, version),
      switch_mode_(switch_mode && items.size() == 2) {
    if (items.empty())
        items.emplace_back();
    if (items.size() > max_items)
        items.resize(max_items);
    for (auto& name_text : items) {
        if (name_text.size() > max_item_name)
            name_text.resize(max_item_name);
        items_.push_back(item{name_text, name_text});
    }
    selected_ = selected >= 0 && selected < count() ? selected : 0;
}

int wrapped_menu_index(int index, int count) {
    index &= 0xFF;
    if (index == 255)
        return count - 1;
    return index >= count ? 0 : index;
}

void cfg_menu::select(int index) {
    index = wrapped_menu_index(index, count());
    if (index != selected_) {
        selected_ = index;
        changed();
    }
}

bool cfg_menu::select_by_name(std::string_view s) {
    int match = -1;
    for (int i = 0; i < count(); ++i)
        if (same_name(items_[i].name, s))
            match = i;
    if (match >= 0)
        select(match);
    return match >= 0;
}

bool cfg_menu::equals(const config& other) const {
    const auto* that = dynamic_cast<const cfg_menu*>(other.as_kind(kind));
    return that != nullptr && that->selected() == selected();
}

void cfg_menu::copy_from(const config& other) {
    if (const auto* that = dynamic_cast<const cfg_menu*>(other.as_kind(kind)))
        select(that->selected());
}

void cfg_menu::read_value(int k, const element& value) {
    if (k < count())
        set_label(k, value.text);
    if (value.attribute("selected") == "true") {
        const std::string& named = value.attribute("value");
        select_by_name(element::present(named) ? named : value.text);
    }
}

} // namespace zoetra
