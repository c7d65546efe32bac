#pragma once
// Files for tests, all under the scratch folder that the test runner names:
// named folders, whole-file reads and writes, and a private working folder.
#include "resources/resource.hpp"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace zoetra::testing {

namespace fs = std::filesystem;

// scratch/name, made if need be.
inline fs::path scratch_folder(const std::string& name = "") {
    const char* base = std::getenv("ZOETRA_TEST_TMP");
    const fs::path folder = fs::path(base != nullptr ? base : ZOETRA_BINARY_DIR "/test-tmp") / name;
    fs::create_directories(folder);
    return folder;
}

// The whole file as text (or as bytes: read_file<std::vector<std::uint8_t>>).
template <class Bytes = std::string> Bytes read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

// Writes the file, making the folders it lies in.
inline void write_file(const fs::path& path, std::string_view data) {
    if (path.has_parent_path())
        fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary).write(data.data(), std::streamsize(data.size()));
}
inline void write_file(const fs::path& path, const std::vector<std::uint8_t>& data) {
    write_file(path, std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
}

// A fresh folder (with Effects/ and Resources/) that is the current directory
// while the object lives: a context made meanwhile with the data folder "."
// works in it.
class working_folder {
  public:
    working_folder() {
        std::string pattern = (scratch_folder() / "work-XXXXXX").string();
        folder_ = mkdtemp(pattern.data());
        fs::create_directories(folder_ / "Effects");
        fs::create_directories(folder_ / "Resources");
        fs::current_path(folder_);
    }
    ~working_folder() {
        fs::current_path(previous_);
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
    working_folder(const working_folder&) = delete;
    working_folder& operator=(const working_folder&) = delete;

    void write(const std::string& relative, std::string_view text) const {
        write_file(folder_ / relative, text);
    }

  private:
    fs::path previous_ = fs::current_path(), folder_;
};

} // namespace zoetra::testing
