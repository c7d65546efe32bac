#pragma once
namespace zoetra {

class context;
class output_canvas;

// What the components of a running network reach besides their ports: the
// program's context, and the canvas they draw on, with its work area, its
// output area and the call that sets the output size. A network without a
// canvas (a test, a probe of its settings) draws nothing and leaves its size
// settings as they are.
struct run_context {
    context* program = nullptr;
    output_canvas* canvas = nullptr;
};

} // namespace zoetra
