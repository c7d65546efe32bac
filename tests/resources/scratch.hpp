#pragma once
// Test support: a fresh working directory per test (everything resources do
// is relative to the current directory) and archive helpers.
#include "../support/files.hpp"
#include "resources/archive_format.hpp"
#include "resources/archive_writer.hpp"
#include "resources/resource.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace zoetra::testing {

inline archive_entry entry(const std::string& name, const std::string& text) {
    return {name, std::vector<unsigned char>(text.begin(), text.end())};
}

inline void pack(const fs::path& path, const std::vector<archive_entry>& entries) {
    fs::create_directories(path.parent_path());
    std::string error;
    ASSERT_TRUE(write_archive(path.string(), entries, error)) << error;
}

// Overwrites bytes of a file in place, complementing them as an archive
// stores everything after its header.
inline void patch_complemented(const fs::path& path, std::size_t offset,
                               const std::vector<unsigned char>& plain) {
    std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
    file.seekp(static_cast<std::streamoff>(offset));
    for (unsigned char byte : plain)
        file.put(static_cast<char>(archive::complement(byte)));
}

inline std::vector<unsigned char> big_endian(std::uint32_t value) {
    return {static_cast<unsigned char>(value >> 24), static_cast<unsigned char>(value >> 16),
            static_cast<unsigned char>(value >> 8), static_cast<unsigned char>(value)};
}

// Where record i of an archive begins.
inline std::size_t record_at(std::size_t i) {
    return archive::directory_start + i * archive::record_size;
}

// The whole content of an open resource, or "<none>".
inline std::string read_resource(const std::string& name) {
    file_ptr file = open_resource(name, "rb");
    if (!file)
        return "<none>";
    std::string text;
    for (int c = std::fgetc(file.get()); c != EOF; c = std::fgetc(file.get()))
        text += static_cast<char>(c);
    return text;
}

inline std::vector<std::string> as_vector(const string_list& list) {
    return {list.begin(), list.end()};
}

class ScratchDirectory : public ::testing::Test {
    working_folder folder_;
};

} // namespace zoetra::testing
