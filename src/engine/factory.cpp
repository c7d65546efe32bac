#include "engine/factory.hpp"

#include "app/services/messages.hpp"
#include "app/services/utility.hpp"

namespace zoetra {

component_factory::component_factory() {
    static const char* const names[] = {
        "cpu",
        "GIFOUT",
        "GIFIN",
        "DOT",
        "surface",
        "rotate",
        "shape",
        "cloud",
        "fiber",
        "WAVE",
        "TEXT",
        "RANDOM",
        "CUBE",
        "TEST_GOOD",
        "TEST",
        "TEST_FAIL_PREPREPARE",
        "TEST_FAIL_PREPARE",
        "TEST_FAIL_FIRE",
        "TEST_DOESNT_EXPORT",
        "INVERSE",
        "SUM",
        "INTEGER0",
        "INTEGER1",
        "INTEGER10",
        "INTEGER100",
        "INTEGER255",
        "RANDOM INTEGER",
        "RANDOM_INTEGER",
        "MULTIPLY",
        "DECOMPOSE",
        "OR",
        "RGB_HSV",
        "split",
        "Crystalize",
        "alternator",
    };
    for (const char* name : names)
        entries_.push_back(entry{name, nullptr});
}

void component_factory::define(std::string_view name, component_maker maker) {
    for (auto& e : entries_) {
        if (e.name == name) {
            e.maker = std::move(maker);
            return;
        }
    }
    fatal_error(format("Couldn't add component \"%.*s\"\n", int(name.size()), name.data()));
}

const component_factory::entry* component_factory::match(std::string_view type) const {
    for (const auto& e : entries_)
        if (same_name(e.name, type))
            return &e;
    return nullptr;
}

std::unique_ptr<component> component_factory::create(std::string_view type) const {
    const entry* e = match(type);
    if (e == nullptr || !e->maker)
        return nullptr;
    return e->maker();
}

bool component_factory::knows(std::string_view type) const {
    const entry* e = match(type);
    return e != nullptr && e->maker;
}

component_factory& standard_factory() {
    static component_factory factory;
    return factory;
}

} // namespace zoetra
