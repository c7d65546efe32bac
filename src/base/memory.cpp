#include "base/memory.hpp"

#include "base/fatal.hpp"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace zoetra {
namespace {

// Every block carries its size in a header, so the budget can be kept exactly.
constexpr std::size_t header_size = alignof(std::max_align_t);

std::size_t budget_from_environment() {
    if (const char* text = std::getenv("ZOETRA_HEAP_BUDGET")) {
        char* end = nullptr;
        unsigned long long value = std::strtoull(text, &end, 10);
        if (end != text)
            return static_cast<std::size_t>(value);
    }
    return std::numeric_limits<std::size_t>::max();
}

struct heap_state {
    std::size_t budget = budget_from_environment();
    std::size_t used = 0;
};

heap_state& heap() {
    static heap_state state;
    return state;
}

struct source_entry {
    int id;
    int priority;
    memory_source source;
};

std::vector<source_entry>& sources() {
    static std::vector<source_entry> list;
    return list;
}

// One attempt at the heap; nullptr when the budget or the system refuses.
void* try_heap(std::size_t size, bool zeroed) {
    heap_state& state = heap();
    if (size > std::numeric_limits<std::size_t>::max() - header_size)
        return nullptr;
    if (size > state.budget || state.used > state.budget - size)
        return nullptr;
    void* raw = zeroed ? std::calloc(1, header_size + size) : std::malloc(header_size + size);
    if (raw == nullptr)
        return nullptr;
    std::memcpy(raw, &size, sizeof size);
    state.used += size;
    return static_cast<char*>(raw) + header_size;
}

void* allocate_with_retry(std::size_t size, bool zeroed) {
    for (;;) {
        if (void* block = try_heap(size, zeroed))
            return block;
        if (!free_memory_on_demand())
            fatal(out_of_memory_message);
    }
}

} // namespace

void* allocate(std::size_t size) {
    return allocate_with_retry(size, false);
}

void* allocate_zeroed(std::size_t count, std::size_t size) {
    if (size != 0 && count > std::numeric_limits<std::size_t>::max() / size)
        fatal(out_of_memory_message);
    return allocate_with_retry(count * size, true);
}

void release(void* block) {
    if (block == nullptr)
        return;
    char* raw = static_cast<char*>(block) - header_size;
    std::size_t size;
    std::memcpy(&size, raw, sizeof size);
    heap().used -= size;
    std::free(raw);
}

void set_heap_budget(std::size_t bytes) {
    heap().budget = bytes;
}
void reset_heap_budget() {
    heap().budget = budget_from_environment();
}
std::size_t heap_budget() {
    return heap().budget;
}
std::size_t heap_bytes_in_use() {
    return heap().used;
}

int register_memory_source(int priority, memory_source source) {
    static int next_id = 1;
    auto& list = sources();
    int id = next_id++;
    source_entry entry{id, priority, std::move(source)};
    auto at = std::upper_bound(list.begin(), list.end(), priority,
                               [](int p, const source_entry& e) { return p < e.priority; });
    list.insert(at, std::move(entry));
    return id;
}

void unregister_memory_source(int id) {
    auto& list = sources();
    std::erase_if(list, [id](const source_entry& e) { return e.id == id; });
}

bool free_memory_on_demand() {
    // Copy the functions first: a source may register or unregister others.
    std::vector<memory_source> snapshot;
    for (const auto& entry : sources())
        snapshot.push_back(entry.source);
    for (auto& source : snapshot)
        if (source())
            return true;
    return false;
}

namespace {
std::function<void(const std::string&)>& memory_receiver() {
    static std::function<void(const std::string&)> receiver;
    return receiver;
}
} // namespace

void set_memory_report(std::function<void(const std::string&)> receiver) {
    memory_receiver() = std::move(receiver);
}

void report_memory(const std::string& text) {
    if (memory_receiver())
        memory_receiver()(text);
}

} // namespace zoetra
