// Effect files are data that users write: the reader and the loader must
// refuse anything broken with a reason, never crash or recurse without bound,
// and no setting a file gives may make a component read or write out of bounds.
#include "components/io/register.hpp"
#include "engine/element.hpp"
#include "engine/script.hpp"
#include "raster/frame_image.hpp"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

// Every component of the program.
const zoetra::component_factory& factory() {
    static zoetra::component_factory f = [] {
        zoetra::component_factory made;
        zoetra::define_all_components(made);
        return made;
    }();
    return f;
}

// A frame image of the window's size, so that numbers from the file reach
// the pixel writers.
zoetra::frame_image& frame() {
    static zoetra::frame_image image(650, 465);
    static const bool sized = (image.set_output_size(350, 250), true);
    (void)sized;
    return image;
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
    zoetra::read_element_tree(text);

    std::FILE* out = std::fopen(scratch_file().c_str(), "wb");
    if (out == nullptr)
        return 0;
    std::fwrite(data, 1, size, out);
    std::fclose(out);

    zoetra::script s(scratch_file(), 1.0, factory());
    std::string error;
    if (!s.load(error) || !small_enough(s))
        return 0;
    s.set_frame_image(&frame());
    if (s.start(error)) {
        for (int frame = 0; frame < 2; ++frame)
            if (!s.run(error, false))
                break;
    }
    return 0;
}
