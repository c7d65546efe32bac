#pragma once
// The component factory: a table of type names, matched ignoring case in
// table order; the first match creates the component. The program's table
// is one list, with every name beside the component it makes
// (components/io/register.hpp); tests make tables of their own.
// "RANDOM INTEGER" has the twin "RANDOM_INTEGER": a tag of an effect file
// ends at its first blank, so only the twin can be written in a file.
#include "engine/component.hpp"

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zoetra {

class context;

// Makes a component for a network of the program with the given context
// (the random constant draws its value from the context's generator).
using component_maker = std::function<std::unique_ptr<component>(context&)>;

// A maker for a component made without arguments.
template <class C> component_maker make_plain() {
    return [](context&) { return std::make_unique<C>(); };
}

class component_factory {
  public:
    struct entry {
        std::string name;
        component_maker maker;
    };

    explicit component_factory(std::vector<entry> entries) : entries_(std::move(entries)) {}

    // A new component for the first entry whose name matches type ignoring
    // case; none when no entry matches.
    std::unique_ptr<component> create(std::string_view type, context& program) const;
    bool knows(std::string_view type) const { return match(type) != nullptr; }
    const std::vector<entry>& entries() const { return entries_; }

  private:
    const entry* match(std::string_view type) const;
    std::vector<entry> entries_;
};

} // namespace zoetra
