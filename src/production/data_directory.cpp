#include "production/data_directory.hpp"

#include <cstdlib>
#include <string_view>
#include <system_error>

namespace zoetra {
namespace fs = std::filesystem;

namespace {

bool holds_effects(const fs::path& folder) {
    std::error_code error;
    return fs::is_directory(folder / "Effects", error);
}

// ZOETRA_NO_SOURCE_DATA=1 leaves out the folders compiled into the program,
// so that a moved or packaged copy shows whether it finds its own data.
[[maybe_unused]] bool compiled_in_folders_allowed() {
    const char* flag = std::getenv("ZOETRA_NO_SOURCE_DATA");
    return flag == nullptr || std::string_view(flag) != "1";
}

} // namespace

std::optional<fs::path> find_data_directory() {
    if (const char* named = std::getenv("ZOETRA_DATA_DIR"); named != nullptr && *named != 0) {
        if (holds_effects(named))
            return fs::absolute(named);
    }
    std::error_code error;
    fs::path executable = fs::read_symlink("/proc/self/exe", error);
    if (!error) {
        fs::path folder = executable.parent_path();
        for (int up = 0; up < 4 && !folder.empty(); ++up) {
            if (holds_effects(folder))
                return folder;
            if (holds_effects(folder / "share" / "zoetra"))
                return folder / "share" / "zoetra";
            folder = folder.parent_path();
        }
    }
#ifdef ZOETRA_INSTALL_DATA_DIR
    if (compiled_in_folders_allowed() && holds_effects(ZOETRA_INSTALL_DATA_DIR))
        return fs::path(ZOETRA_INSTALL_DATA_DIR);
#endif
#ifdef ZOETRA_SOURCE_DATA_DIR
    if (compiled_in_folders_allowed() && holds_effects(ZOETRA_SOURCE_DATA_DIR))
        return fs::path(ZOETRA_SOURCE_DATA_DIR);
#endif
    return std::nullopt;
}

} // namespace zoetra
