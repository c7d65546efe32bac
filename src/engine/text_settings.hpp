#pragma once
// The settings side of three config kinds: lines of text, the output file
// name, and the GIF palette.
#include "engine/config.hpp"

#include <array>
#include <string>
#include <vector>

namespace zoetra {

// One or more lines of text, each at most 127 characters.
class cfg_text : public config {
  public:
    static constexpr const char* kind = "cfg_text";
    static constexpr std::size_t max_line = 127;

    cfg_text(component* owner, std::string name, bool shown, double version,
             std::vector<std::string> lines);

    int count() const { return static_cast<int>(lines_.size()); }
    const std::string& text_at(int i) const { return lines_[i]; }
    void set_text_at(const std::string& text, int i);

    bool equals(const config& other) const override;
    void copy_from(const config& other) override;

  protected:
    const char* setting_tag() const override { return "textlist"; }
    void read_value(int k, const element& value) override;

  private:
    std::vector<std::string> lines_;
};

// The name of an output GIF file (at most 135 characters).
class cfg_image_out : public config {
  public:
    static constexpr const char* kind = "cfg_image_out";
    static constexpr std::size_t max_name = 135;

    cfg_image_out(component* owner, std::string name, bool shown, double version,
                  std::string file_name);

    const std::string& file_name() const { return file_name_; }
    void set_file_name(const std::string& name);
    bool name_chosen() const { return name_chosen_; }
    void set_name_chosen(bool flag) { name_chosen_ = flag; }

    bool equals(const config& other) const override;
    void copy_from(const config& other) override;

  protected:
    const char* setting_tag() const override { return "imageoutput"; }
    void read_value(int, const element&) override {}

  private:
    std::string file_name_;
    bool name_chosen_ = false;
};

} // namespace zoetra
