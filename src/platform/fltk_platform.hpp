#pragma once
// The platform services on the real window: message boxes, file dialogs, a
// question, and the text dialogs (About, Licence), all with FLTK.
#include "app/services/messages.hpp"

namespace zoetra {

class fltk_platform : public platform {
  public:
    void message_box(const std::string& caption, const std::string& text, icon kind) override;
    std::optional<std::string> choose_file_to_open(const std::string& title,
                                                   const std::string& pattern,
                                                   const std::string& folder) override;
    std::optional<std::string> choose_file_to_save(const std::string& title,
                                                   const std::string& default_name,
                                                   const std::string& folder) override;
    bool confirm(const std::string& caption, const std::string& question) override;
    int choose(const std::string& caption, const std::string& question, const std::string& first,
               const std::string& second) override;
    void show_text(const std::string& title, const std::string& text) override;

    // True while one of its dialogs runs (idle work waits meanwhile).
    bool in_dialog() const { return dialogs_ > 0; }
    // The size of dialog texts (larger on a dense screen).
    void set_scale(int scale) { scale_ = scale; }

  private:
    int dialogs_ = 0;
    int scale_ = 1;
};

} // namespace zoetra
