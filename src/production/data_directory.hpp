#pragma once
// Where the program's own files live: the folder that holds "Effects" and
// "Resources". The program works relative to it.
#include <filesystem>
#include <optional>

namespace zoetra {

// In order: the folder named by ZOETRA_DATA_DIR; the folder of the
// executable or one of its parents (the build tree); share/zoetra under the
// install prefix; the source tree the program was built from. The last two
// are skipped when ZOETRA_NO_SOURCE_DATA is 1.
std::optional<std::filesystem::path> find_data_directory();

} // namespace zoetra
