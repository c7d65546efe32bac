#pragma once
// The handle table: 1,024 slots, each holding one block from allocate. Image
// buffers keep their pixel blocks here. Blocks never move, so locking a handle
// is a no-op; the slot number is how a holder reaches its block.
#include <cstddef>

namespace zoetra {

inline constexpr int handle_slot_count = 1024;
inline constexpr int no_handle = -1;

// The first free slot (lowest index); all taken ends the program with "Out of handles!".
int allocate_handle(std::size_t size);
void* handle_block(int slot);
void release_handle(int slot);
int handles_in_use();

} // namespace zoetra
