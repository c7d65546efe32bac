#include "base/handles.hpp"

#include "base/fatal.hpp"
#include "base/memory.hpp"

#include <array>

namespace zoetra {
namespace {

std::array<void*, handle_slot_count>& slots() {
    static std::array<void*, handle_slot_count> table{};
    return table;
}

} // namespace

int allocate_handle(std::size_t size) {
    auto& table = slots();
    for (int slot = 0; slot < handle_slot_count; ++slot) {
        if (table[slot] == nullptr) {
            void* block = allocate(size == 0 ? 1 : size);
            table[slot] = block;
            return slot;
        }
    }
    fatal("Out of handles!");
}

void* handle_block(int slot) {
    if (slot < 0 || slot >= handle_slot_count)
        return nullptr;
    return slots()[slot];
}

void release_handle(int slot) {
    if (slot < 0 || slot >= handle_slot_count)
        return;
    release(slots()[slot]);
    slots()[slot] = nullptr;
}

int handles_in_use() {
    int count = 0;
    for (void* block : slots())
        count += block != nullptr;
    return count;
}

} // namespace zoetra
