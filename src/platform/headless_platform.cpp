#include "platform/headless_platform.hpp"

#include <cstdio>
#include <filesystem>

namespace zoetra {

void headless_platform::message_box(const std::string& caption, const std::string& text,
                                    icon kind) {
    messages_.push_back(message{caption, text, kind});
    if (quiet_)
        return;
    std::fprintf(stderr, "%s: %s", caption.c_str(), text.c_str());
    if (text.empty() || text.back() != '\n')
        std::fputc('\n', stderr);
    std::fflush(stderr);
}

bool headless_platform::confirm(const std::string&, const std::string& question) {
    questions_.push_back(question);
    if (answers_.empty())
        return false;
    const bool yes = answers_.front();
    answers_.pop_front();
    return yes;
}

int headless_platform::choose(const std::string&, const std::string& question, const std::string&,
                              const std::string&) {
    questions_.push_back(question);
    if (choice_answers_.empty())
        return 0;
    const int chosen = choice_answers_.front();
    choice_answers_.pop_front();
    return chosen;
}

void headless_platform::show_text(const std::string& title, const std::string&) {
    texts_shown_.push_back(title);
}

std::optional<std::string> headless_platform::next_choice(const std::string& title,
                                                          const std::string& folder) {
    dialog_titles_.push_back(title);
    dialog_folders_.push_back(folder);
    std::error_code ignored;
    std::filesystem::current_path(folder, ignored);
    if (choices_.empty())
        return std::nullopt;
    auto choice = std::move(choices_.front());
    choices_.pop_front();
    return choice;
}

std::optional<std::string> headless_platform::choose_file_to_open(const std::string& title,
                                                                  const std::string&,
                                                                  const std::string& folder) {
    return next_choice(title, folder);
}

std::optional<std::string> headless_platform::choose_file_to_save(const std::string& title,
                                                                  const std::string&,
                                                                  const std::string& folder) {
    return next_choice(title, folder);
}

} // namespace zoetra
