#pragma once
// The component factory: a table of type names, matched ignoring case in
// table order; the first match creates the component. The names are fixed
// here; each component library defines the creators of its own entries.
// "RANDOM INTEGER" has the twin "RANDOM_INTEGER": a tag of an effect file
// ends at its first blank, so only the twin can be written in a file.
#include "engine/component.hpp"

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zoetra {

using component_maker = std::function<std::unique_ptr<component>()>;

class component_factory {
  public:
    // The table in its fixed order, with no creators yet.
    component_factory();

    // Gives the entry called name (exactly as in the table) its creator.
    void define(std::string_view name, component_maker maker);
    // A new component for the first entry whose name matches type ignoring
    // case; none when no entry matches or the entry has no creator.
    std::unique_ptr<component> create(std::string_view type) const;
    bool knows(std::string_view type) const;

    struct entry {
        std::string name;
        component_maker maker;
    };
    const std::vector<entry>& entries() const { return entries_; }

  private:
    const entry* match(std::string_view type) const;
    std::vector<entry> entries_;
};

// The factory that scripts use unless they are given another.
component_factory& standard_factory();

} // namespace zoetra
