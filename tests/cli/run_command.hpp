#pragma once
// Runs the renderer (or any shell command) as a user would, collecting its
// standard output, standard error and exit status.
#include "../support/files.hpp"

#include <array>
#include <cstdio>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace zoetra::testing {

struct command_result {
    int status = -1;
    std::string out;
    std::string err;
};

inline std::string quoted(const std::string& text) {
    return "'" + text + "'";
}

inline std::string renderer() {
    return quoted(std::string(ZOETRA_BINARY_DIR) + "/src/cli/zoetra-render");
}

// Standard error goes through a file of its own, so that tests running side
// by side never share one.
inline command_result run(const std::string& command) {
    static int serial = 0;
    fs::path err_file = fs::temp_directory_path() / ("zoetra-run-" + std::to_string(getpid()) +
                                                     "-" + std::to_string(++serial) + ".err");
    command_result result;
    std::string full = command + " 2>" + quoted(err_file.string());
    FILE* pipe = popen(full.c_str(), "r");
    if (pipe == nullptr)
        return result;
    std::array<char, 4096> chunk;
    std::size_t got;
    while ((got = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0)
        result.out.append(chunk.data(), got);
    int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.err = read_file(err_file);
    std::error_code ignored;
    fs::remove(err_file, ignored);
    return result;
}

} // namespace zoetra::testing
