#pragma once
// Helpers for engine tests: a factory with the basic components and effect
// files written to a scratch folder.
#include "../support/files.hpp"
#include "components/basic/register.hpp"
#include "engine/element.hpp"
#include "engine/factory.hpp"

#include <gtest/gtest.h>

#include <string>

namespace zoetra::testing_support {

inline component_factory& basic_factory() {
    static component_factory factory = [] {
        component_factory f;
        define_basic_components(f);
        return f;
    }();
    return factory;
}

// An element tree read from text, which must be an effect file.
inline std::unique_ptr<element> parse(std::string_view text) {
    element_tree tree = read_element_tree(text);
    EXPECT_TRUE(tree.root) << tree.error;
    return std::move(tree.root);
}

// What body prints on standard output.
template <class F> std::string printed(F body) {
    ::testing::internal::CaptureStdout();
    body();
    return ::testing::internal::GetCapturedStdout();
}

// Writes text to a file of the engine's scratch folder and returns its path.
inline std::string write_file(const std::string& name, const std::string& text) {
    const auto path = testing::scratch_folder("engine") / name;
    testing::write_file(path, text);
    return path.string();
}

} // namespace zoetra::testing_support
