// Effect files are data that users write: the reader and the loader must
// refuse anything broken with a reason, never crash or recurse without bound,
// and no setting a file gives may make a component read or write out of bounds.
#include "components/io/register.hpp"
#include "engine/context.hpp"
#include "engine/element.hpp"
#include "engine/script.hpp"
#include "raster/output_canvas.hpp"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

// The program the networks belong to, and a canvas in the window's work
// area, so that numbers from the file reach the pixel writers.
zoetra::context& program() {
    static zoetra::context made;
    return made;
}

zoetra::output_canvas& canvas() {
    static zoetra::output_canvas made = [] {
        zoetra::output_canvas c(zoetra::output_canvas::standard_work_width,
                                zoetra::output_canvas::standard_work_height,
                                zoetra::colour{0, 0, 128, 128});
        c.set_output_size(350, 250);
        return c;
    }();
    return made;
}

const std::string& scratch_file() {
    static std::string path = [] {
        char pattern[] = "/tmp/zoetra-effect-fuzz-XXXXXX";
        int fd = mkstemp(pattern);
        if (fd >= 0)
            close(fd);
        return std::string(pattern);
    }();
    return path;
}

// Small networks only: the point is the engine's logic, not big allocations.
bool small_enough(const zoetra::script& s) {
    std::uint64_t bytes = 0;
    for (const zoetra::port* p : s.ports())
        bytes += std::uint64_t(p->size(0)) * p->size(1) * p->size(2) * 2;
    return bytes < (8u << 20);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    (void)zoetra::read_element_tree(text);

    std::FILE* out = std::fopen(scratch_file().c_str(), "wb");
    if (out == nullptr)
        return 0;
    std::fwrite(data, 1, size, out);
    std::fclose(out);

    zoetra::script s(scratch_file(), program(), zoetra::program_factory());
    if (!s.load() || !small_enough(s))
        return 0;
    s.set_canvas(&canvas());
    if (s.start()) {
        for (int frame = 0; frame < 2; ++frame)
            if (!s.run(false))
                break;
    }
    return 0;
}
