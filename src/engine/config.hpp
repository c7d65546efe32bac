#pragma once
// A config is a named, typed setting of a component: the component's
// parameter store and the shape store of its ports. Its on-screen editors
// (src/ui) hold it and hear of its changes.
#include "engine/description.hpp"
#include "engine/element.hpp"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zoetra {

class component;

class config {
  public:
    config(component* owner, std::string kind_name, std::string name, bool shown, double version);
    virtual ~config();
    config(const config&) = delete;
    config& operator=(const config&) = delete;

    component* owner() const { return owner_; }
    const std::string& kind_name() const { return kind_name_; }
    const std::string& name() const { return description_.name; }
    description& desc() { return description_; }
    const description& desc() const { return description_; }

    bool shown() const { return shown_; }
    void set_shown(bool flag) { shown_ = flag; }

    config* bound_partner() const { return partner_; }
    void bind_to(config* partner) { partner_ = partner; }

    // With flag 0, the description as the program prints it; otherwise nothing.
    virtual std::string dump_text(int flag) const;
    virtual bool equals(const config& other) const = 0;
    virtual void copy_from(const config& other) = 0;
    // Reads the settings from the children of a component element.
    void read(const std::string& name, const element& component_element);
    // The tag of the elements that carry this config's settings in an effect file.
    const char* element_tag() const { return setting_tag(); }

    // The config itself when its kind name equals kind exactly, else none.
    config* as_kind(std::string_view kind) { return kind_name_ == kind ? this : nullptr; }
    const config* as_kind(std::string_view kind) const {
        return kind_name_ == kind ? this : nullptr;
    }

    // Who hears of changes: the network the config belongs to (a running
    // network starts again when its settings change), the studio for its
    // standing components, and the editors that show the config. A setting
    // change is one that makes a network run differently; the output file's
    // name, or a palette copied from another, is not one.
    // An observer hears of changes while its observation lives; the
    // observation may outlive the config, or go away during a notification.
    using change_observer = std::function<void(config& changed, bool setting_change)>;
    class observation;
    [[nodiscard]] observation observe(change_observer observer);

  protected:
    // The tag of the elements that carry this kind's settings ("valuelist", "menu", ...).
    virtual const char* setting_tag() const = 0;
    // Reads the k-th value element (children other than "desc").
    virtual void read_value(int k, const element& value) = 0;
    // The config changed: every observer hears of it.
    void changed(bool setting_change = true);

  private:
    void read_common_attributes(const element& setting);

    component* owner_;
    std::string kind_name_;
    bool shown_;
    description description_;
    config* partner_ = nullptr;
    struct observer_list {
        std::vector<std::pair<int, change_observer>> entries;
        int next_id = 0;
    };
    std::shared_ptr<observer_list> observers_ = std::make_shared<observer_list>();
};

class config::observation {
  public:
    observation() = default;
    observation(observation&& other) noexcept { *this = std::move(other); }
    observation& operator=(observation&& other) noexcept;
    ~observation() { cancel(); }
    // The observer hears of no more changes.
    void cancel();

  private:
    friend class config;
    observation(std::weak_ptr<observer_list> list, int id) : list_(std::move(list)), id_(id) {}
    std::weak_ptr<observer_list> list_;
    int id_ = -1;
};

// The value a number setting stores for v: rounded to a multiple of step
// (halves away from zero; a step that is not above 0 leaves it unrounded),
// then kept to the maximum and then to the minimum. NaN counts as 0, and the
// result is always finite.
double settle_value(double v, double minimum, double maximum, double step);

// A number setting of one to three values.
class cfg_FP64 : public config {
  public:
    struct number {
        double value;
        double minimum;
        double maximum;
        double step;
    };
    static constexpr const char* kind = "cfg_FP64";

    // Each value gets its minimum, maximum and step first and then its initial
    // value through set_value, so the initial value is rounded and clamped.
    cfg_FP64(component* owner, std::string name, bool shown, double version,
             std::vector<number> numbers, bool dial = false, bool text_flag = false);
    // The short form: one value.
    cfg_FP64(component* owner, std::string name, bool shown, double value, double minimum,
             double maximum, double step);

    int count() const { return static_cast<int>(numbers_.size()); }
    double value(int i) const { return numbers_[i].value; }
    double minimum(int i) const { return numbers_[i].minimum; }
    double maximum(int i) const { return numbers_[i].maximum; }
    double step(int i) const { return numbers_[i].step; }
    bool dial() const { return dial_; }
    bool text_flag() const { return text_flag_; }

    // Rounds v to a multiple of the step (halves away from zero), clamps it
    // to the maximum and then the minimum; marks the settings changed when
    // the stored value changed.
    void set_value(int i, double v);
    void set_minimum(int i, double v);
    void set_maximum(int i, double v);
    void set_step(int i, double v) { numbers_[i].step = v; }

    bool equals(const config& other) const override;
    void copy_from(const config& other) override;

  protected:
    const char* setting_tag() const override { return "valuelist"; }
    void read_value(int k, const element& value) override;

  private:
    std::vector<number> numbers_;
    bool dial_;
    bool text_flag_;
};

// The item a menu selects for index among count items: in 8 bits, 255 (one
// below 0) is the last item and an index at or past the count the first, so
// stepping wraps both ways.
int wrapped_menu_index(int index, int count);

// A choice among one to eight named items.
class cfg_menu : public config {
  public:
    static constexpr const char* kind = "cfg_menu";
    static constexpr int max_items = 8;
    static constexpr int max_item_name = 31;

    cfg_menu(component* owner, std::string name, bool shown, double version,
             std::vector<std::string> items, int selected = 0, bool switch_mode = false);

    int count() const { return static_cast<int>(items_.size()); }
    int selected() const { return selected_; }
    const std::string& selected_name() const { return items_[selected_].name; }
    const std::string& item_name(int i) const { return items_[i].name; }
    const std::string& label(int i) const { return items_[i].label; }
    void set_label(int i, std::string text) { items_[i].label = std::move(text); }
    bool switch_mode() const { return switch_mode_; }

    // 255 (one below 0) selects the last item, an index at or past the count
    // the first, so stepping wraps both ways.
    void select(int index);
    // Selects the last item whose name equals s ignoring case.
    bool select_by_name(std::string_view s);

    bool equals(const config& other) const override;
    void copy_from(const config& other) override;

  protected:
    const char* setting_tag() const override { return "menu"; }
    void read_value(int k, const element& value) override;

  private:
    struct item {
        std::string name;
        std::string label;
    };
    std::vector<item> items_;
    int selected_ = 0;
    bool switch_mode_;
};

} // namespace zoetra
