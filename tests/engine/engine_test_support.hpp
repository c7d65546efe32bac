#pragma once
// Helpers for engine tests: a factory with the basic components and effect
// files written to a private temporary folder.
#include "components/basic/register.hpp"
#include "engine/element.hpp"
#include "engine/factory.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

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

inline std::filesystem::path temp_folder() {
    static std::filesystem::path folder = [] {
        const char* base = std::getenv("ZOETRA_TEST_TMP");
        std::filesystem::path root = base ? base : std::filesystem::temp_directory_path();
        std::filesystem::create_directories(root);
        std::string pattern = (root / "engine-XXXXXX").string();
        return std::filesystem::path(mkdtemp(pattern.data()));
    }();
    return folder;
}

// Writes text to a file of the temporary folder and returns its path.
inline std::string write_file(const std::string& name, const std::string& text) {
    std::filesystem::path path = temp_folder() / name;
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
}

} // namespace zoetra::testing_support
