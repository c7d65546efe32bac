#include "base/fatal.hpp"

#include "base/diagnostics.hpp"

#include <cstdlib>

namespace zoetra {
namespace {

// The status the window documents for a fatal error.
constexpr int default_status = -1;

fatal_handler& installed() {
    static fatal_handler handler;
    return handler;
}

} // namespace

void set_fatal_handler(fatal_handler handler) {
    installed() = std::move(handler);
}

void fatal(const std::string& message) {
    if (installed())
        installed()(message);
    diagnostics& sink = standard_streams();
    sink.err("Error: " + message);
    if (message.empty() || message.back() != '\n')
        sink.err("\n");
    std::exit(default_status);
}

} // namespace zoetra
