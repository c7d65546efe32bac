#pragma once
// The platform without a window: message boxes are recorded (and written to
// standard error unless quiet), and file dialogs are answered from a script
// that the caller sets up: a chosen path, or "cancelled" when the script has
// no answer left.
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
                                                   const std::string& pattern,
                                                   const std::string& folder) override;
    std::optional<std::string> choose_file_to_save(const std::string& title,
                                                   const std::string& default_name,
                                                   const std::string& folder) override;

    bool confirm(const std::string& caption, const std::string& question) override;
    // Asked questions go with confirm's; none left answers the first choice.
    int choose(const std::string& caption, const std::string& question, const std::string& first,
               const std::string& second) override;
    void show_text(const std::string& title, const std::string& text) override;

    // Answers for the next questions, in order; none left means no.
    void queue_answer(bool yes) { answers_.push_back(yes); }
    // The same for questions with two choices: 0 or 1.
    void queue_choice(int chosen) { choice_answers_.push_back(chosen); }
    const std::vector<std::string>& questions() const { return questions_; }
    const std::vector<std::string>& texts_shown() const { return texts_shown_; }

    // Answers for the next file dialogs, in order; none left means "cancelled".
    // A relative path is taken in the folder the dialog starts in, whose
    // directory becomes current meanwhile, as a real dialog's may.
    void queue_file_choice(std::optional<std::string> path) { choices_.push_back(std::move(path)); }
    // Message boxes are written to standard error unless quiet.
    void set_quiet(bool quiet) { quiet_ = quiet; }

    const std::vector<message>& messages() const { return messages_; }
    const std::vector<std::string>& dialog_titles() const { return dialog_titles_; }
    // The folder each dialog started in.
    const std::vector<std::string>& dialog_folders() const { return dialog_folders_; }

  private:
    std::optional<std::string> next_choice(const std::string& title, const std::string& folder);

    std::deque<std::optional<std::string>> choices_;
    std::deque<bool> answers_;
    std::deque<int> choice_answers_;
    std::vector<std::string> questions_;
    std::vector<std::string> texts_shown_;
    std::vector<message> messages_;
    std::vector<std::string> dialog_titles_;
    std::vector<std::string> dialog_folders_;
    bool quiet_ = false;
};

} // namespace zoetra
