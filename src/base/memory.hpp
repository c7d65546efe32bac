#pragma once
// The one allocation routine of the program. Allocation never fails to its
// caller: when the heap refuses, registered sources are asked to free memory
// (image buffers go to disk, the skin image cache is emptied) and the request
// is retried; when nothing more can be freed the program ends with the
// out-of-memory message.
//
// The heap keeps a byte budget so that tests (and manual trials through the
// environment variable ZOETRA_HEAP_BUDGET, in bytes) can make memory run short.
#include <cstddef>
#include <functional>
#include <memory>
#include <string>

namespace zoetra {

inline constexpr const char* out_of_memory_message = "I'm sorry. I have run out of memory. B-bye";

void* allocate(std::size_t size);
void* allocate_zeroed(std::size_t count, std::size_t size);
void release(void* block);

// Owning pointer to a block from allocate.
struct heap_release {
    void operator()(void* block) const { release(block); }
};
template <class T> using heap_ptr = std::unique_ptr<T, heap_release>;
template <class T> heap_ptr<T> allocate_array(std::size_t count) {
    return heap_ptr<T>(static_cast<T*>(allocate(count * sizeof(T))));
}
template <class T> heap_ptr<T> allocate_zeroed_array(std::size_t count) {
    return heap_ptr<T>(static_cast<T*>(allocate_zeroed(count, sizeof(T))));
}

// The byte budget of the heap (default: unlimited, or ZOETRA_HEAP_BUDGET).
void set_heap_budget(std::size_t bytes);
// Back to unlimited, or to ZOETRA_HEAP_BUDGET.
void reset_heap_budget();
std::size_t heap_budget();
std::size_t heap_bytes_in_use();

// Sources of freeable memory, asked in ascending priority until one frees
// something. The image buffer ring registers with priority 0, the skin image
// cache with priority 1. A source returns true when it freed memory.
using memory_source = std::function<bool()>;
int register_memory_source(int priority, memory_source source);
void unregister_memory_source(int id);
bool free_memory_on_demand();

// What the memory manager tells the person while it works ("Reading buffer
// from disk."): the program connects it to its status line; without a
// receiver nothing is said.
void set_memory_report(std::function<void(const std::string&)> receiver);
void report_memory(const std::string& text);

} // namespace zoetra
