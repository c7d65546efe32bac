#include "base/diagnostics.hpp"

#include <cstdio>

namespace zoetra {
namespace {

class standard_stream_sink : public diagnostics {
  public:
    void out(std::string_view text) override { write(stdout, text); }
    void err(std::string_view text) override {
        write(stderr, text);
        std::fflush(stderr);
    }

  private:
    static void write(std::FILE* stream, std::string_view text) {
        std::fwrite(text.data(), 1, text.size(), stream);
    }
};

} // namespace

diagnostics& standard_streams() {
    static standard_stream_sink sink;
    return sink;
}

} // namespace zoetra
