#include "engine/factory.hpp"

#include "base/utility.hpp"

namespace zoetra {

const component_factory::entry* component_factory::match(std::string_view type) const {
    for (const auto& e : entries_)
        if (same_name(e.name, type))
            return &e;
    return nullptr;
}

std::unique_ptr<component> component_factory::create(std::string_view type,
                                                     context& program) const {
    const entry* e = match(type);
    if (e == nullptr || !e->maker)
        return nullptr;
    return e->maker(program);
}

} // namespace zoetra
