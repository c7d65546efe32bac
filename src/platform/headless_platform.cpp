#include "platform/headless_platform.hpp"

#include <cstdio>

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

std::optional<std::string> headless_platform::next_choice(const std::string& title) {
    dialog_titles_.push_back(title);
    if (choices_.empty())
        return std::nullopt;
    auto choice = std::move(choices_.front());
    choices_.pop_front();
    return choice;
}

std::optional<std::string> headless_platform::choose_file_to_open(const std::string& title,
                                                                  const std::string&) {
    return next_choice(title);
}

std::optional<std::string> headless_platform::choose_file_to_save(const std::string& title,
                                                                  const std::string&) {
    return next_choice(title);
}

} // namespace zoetra
