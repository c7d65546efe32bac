#pragma once
// A one-line text field. A click inside starts editing, and the first key
// then replaces the whole text; Enter ends editing.
#include "ui/control.hpp"

#include <functional>
#include <string>

namespace zoetra {

class text_control : public control {
  public:
    static constexpr std::size_t buffer_limit = 127;

    // The field holds at most max_length characters, and never more than 127.
    text_control(const rect& area, const surface& target, std::string text, std::size_t max_length);

    // Copies the text (cut to the limits) and redraws.
    void set_text(const std::string& text);
    // Takes a text from elsewhere, without drawing or telling anyone.
    void assign(const std::string& text);
    const std::string& text() const { return text_; }
    bool editing() const { return editing_; }
    bool replace_on_next_key() const { return replace_; }

    // Called after a key changed the text while editing.
    std::function<void(const std::string&)> on_change;

  protected:
    void on_mouse_down(int x, int y, int button) override;
    void on_mouse_up(int x, int y, int button) override;
    void on_key(int ch, int x, int y) override;
    void on_draw(buffer& target) override;

  private:
    std::size_t limit() const;

    std::string text_;
    std::size_t max_length_;
    bool editing_ = false;
    bool replace_ = false;
};

} // namespace zoetra
