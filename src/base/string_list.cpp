#include "base/string_list.hpp"

#include <algorithm>

namespace zoetra {

void string_list::insert_before(int index, std::string text) {
    if (index < 0 || index >= count())
        items_.push_back(std::move(text));
    else
        items_.insert(items_.begin() + index, std::move(text));
}

void string_list::remove(int index) {
    if (index >= 0 && index < count())
        items_.erase(items_.begin() + index);
}

const std::string& string_list::get(int index) const {
    static const std::string empty;
    if (index < 0 || index >= count())
        return empty;
    return items_[static_cast<std::size_t>(index)];
}

int string_list::find(const std::string& text) const {
    auto at = std::find(items_.begin(), items_.end(), text);
    return at == items_.end() ? -1 : static_cast<int>(at - items_.begin());
}

void string_list::resize(int count) {
    items_.resize(count < 0 ? 0 : static_cast<std::size_t>(count));
}

} // namespace zoetra
