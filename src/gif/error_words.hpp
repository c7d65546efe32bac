#pragma once
// A system error's text as the middle of a sentence: "permission denied".
#include <cctype>
#include <cstring>
#include <string>

namespace zoetra {

inline std::string error_words(int error) {
    std::string words = std::strerror(error);
    if (!words.empty())
        words[0] = char(std::tolower(static_cast<unsigned char>(words[0])));
    return words;
}

} // namespace zoetra
