#pragma once
#include <string>
#include <vector>

namespace zoetra {

// An ordered list of owned strings (file lists, the archive list).
class string_list {
  public:
    void append(std::string text) { items_.push_back(std::move(text)); }
    // Inserts before element index; an index at or past the end appends.
    void insert_before(int index, std::string text);
    void remove(int index);
    // An index out of range gives a shared empty string.
    const std::string& get(int index) const;
    // The index of the first equal string, -1 when absent.
    int find(const std::string& text) const;
    // Appends empty strings or drops from the end.
    void resize(int count);
    int count() const { return static_cast<int>(items_.size()); }
    bool empty() const { return items_.empty(); }
    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

  private:
    std::vector<std::string> items_;
};

} // namespace zoetra
