#include "app/services/process_state.hpp"

#include "base/memory.hpp"

namespace zoetra {

process_state& process() {
    static process_state state;
    return state;
}

void reset_process_state() {
    process() = process_state{};
    reset_heap_budget();
}

} // namespace zoetra
