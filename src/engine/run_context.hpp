#pragma once
namespace zoetra {

class frame_image;

// What the components of a running network reach besides their ports: the
// frame image, with its work area, its output area and the call that sets
// the output size. A network without one (a test, a probe of its settings)
// draws nothing and leaves its size settings as they are.
struct run_context {
    frame_image* frame = nullptr;
};

} // namespace zoetra
