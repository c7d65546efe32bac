#include "app/services/process_state.hpp"

#include "app/services/memory.hpp"

#include <vector>

namespace zoetra {
namespace {

std::vector<std::function<void()>>& resetters() {
    static std::vector<std::function<void()>> list;
    return list;
}

} // namespace

process_state& process() {
    static process_state state;
    return state;
}

void on_process_reset(std::function<void()> reset) {
    resetters().push_back(std::move(reset));
}

void reset_process_state() {
    process() = process_state{};
    reset_heap_budget();
    for (const auto& reset : resetters())
        reset();
}

} // namespace zoetra
