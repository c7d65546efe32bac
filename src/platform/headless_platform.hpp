#pragma once
// The platform without a window: message boxes and status lines go to
// standard error, file dialogs are answered from a queue that the caller
// fills (tests, the command-line renderer), and presenting does nothing.
#include "app/services/messages.hpp"

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace zoetra {

class headless_platform : public platform {
  public:
    struct message {
        std::string caption;
        std::string text;
        icon kind;
    };

    void message_box(const std::string& caption, const std::string& text, icon kind) override;
    std::optional<std::string> choose_file_to_open(const std::string& title,
                                                   const std::string& pattern) override;
    std::optional<std::string> choose_file_to_save(const std::string& title,
                                                   const std::string& default_name) override;
    void present(const rect& area) override;
    void show_status(const std::string& text) override;

    // Answers for the next file dialogs, in order; none left means "cancelled".
    void queue_file_choice(std::optional<std::string> path) { choices_.push_back(std::move(path)); }
    // Status lines are written to standard error unless quiet.
    void set_quiet(bool quiet) { quiet_ = quiet; }

    const std::vector<message>& messages() const { return messages_; }
    const std::vector<std::string>& status_lines() const { return status_lines_; }
    const std::vector<std::string>& dialog_titles() const { return dialog_titles_; }
    int presented() const { return presented_; }

  private:
    std::optional<std::string> next_choice(const std::string& title);

    std::deque<std::optional<std::string>> choices_;
    std::vector<message> messages_;
    std::vector<std::string> status_lines_;
    std::vector<std::string> dialog_titles_;
    bool quiet_ = false;
    int presented_ = 0;
};

} // namespace zoetra
