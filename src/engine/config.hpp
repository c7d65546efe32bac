#pragma once
// A config is a named, typed setting of a component: the component's
// parameter store, the shape store of its ports, and (through a view that
// the user interface attaches) its on-screen editor.
#include "app/services/geometry.hpp"
#include "engine/description.hpp"
#include "engine/element.hpp"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zoetra {

class buffer;
class component;
class config;

// The on-screen side of a config. Until the user interface installs a view
// maker, configs have no view and the on-screen operations do nothing.
class config_view {
  public:
    virtual ~config_view() = default;
    virtual void idle(int x, int y) = 0;
    virtual void mouse_down(int x, int y, int button) = 0;
    virtual void mouse_up(int x, int y, int button) = 0;
    virtual void key(int ch, int x, int y) = 0;
    virtual void command(const std::string& category, const std::string& name) = 0;
    virtual void draw() = 0;
    virtual void activate() = 0;
    virtual void deactivate() = 0;
    // A value, the selection or a text of the config changed.
    virtual void settings_changed() = 0;
};

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
    const rect& area() const { return area_; }
    void set_area(const rect& r) { area_ = r; }
    buffer* target() const { return target_; }
    void set_target(buffer* image) { target_ = image; }
    bool visible() const { return visible_; }

    config* bound_partner() const { return partner_; }
    void bind_to(config* partner) { partner_ = partner; }

    // Events from the settings panel; acted on only while visible, except command.
    void idle(int x, int y);
    void mouse_down(int x, int y, int button);
    void mouse_up(int x, int y, int button);
    void key(int ch, int x, int y);
    void command(const std::string& category, const std::string& name);
    void refresh();
    void draw();
    void activate();
    void deactivate();
    void attach_view(std::unique_ptr<config_view> view) { view_ = std::move(view); }
    config_view* view() const { return view_.get(); }

    // With flag 0, writes the description to standard output.
    virtual void dump(int flag) const;
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

  protected:
    // The tag of the elements that carry this kind's settings ("valuelist", "menu", ...).
    virtual const char* setting_tag() const = 0;
    // Reads the k-th value element (children other than "desc").
    virtual void read_value(int k, const element& value) = 0;
    void notify_view() {
        if (view_)
            view_->settings_changed();
    }

  private:
    void read_common_attributes(const element& setting);

    component* owner_;
    std::string kind_name_;
    bool shown_;
    rect area_;
    buffer* target_ = nullptr;
    bool visible_ = false;
    description description_;
    config* partner_ = nullptr;
    std::unique_ptr<config_view> view_;
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
