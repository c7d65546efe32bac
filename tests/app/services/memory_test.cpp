#include "app/services/handles.hpp"
#include "app/services/memory.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace zoetra {
namespace {

// Runs body in a child process with stderr captured; returns (exit status, stderr).
std::pair<int, std::string> run_in_child(void (*body)()) {
    int pipe_ends[2];
    EXPECT_EQ(pipe(pipe_ends), 0);
    pid_t child = fork();
    if (child == 0) {
        dup2(pipe_ends[1], 2);
        close(pipe_ends[0]);
        body();
        _exit(0);
    }
    close(pipe_ends[1]);
    std::string text;
    char chunk[256];
    ssize_t got;
    while ((got = read(pipe_ends[0], chunk, sizeof chunk)) > 0)
        text.append(chunk, static_cast<std::size_t>(got));
    close(pipe_ends[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1000, text};
}

class budget_guard {
  public:
    explicit budget_guard(std::size_t bytes) : old_(heap_budget()) {
        set_heap_budget(heap_bytes_in_use() + bytes);
    }
    ~budget_guard() { set_heap_budget(old_); }

  private:
    std::size_t old_;
};

TEST(Allocation, RetriesAfterASourceFreesMemoryUnderARealBudget) {
    budget_guard budget(1000);
    void* hog = allocate(800);
    int asked = 0;
    int id = register_memory_source(0, [&] {
        ++asked;
        if (hog == nullptr)
            return false;
        release(hog);
        hog = nullptr;
        return true;
    });
    // 800 + 400 exceeds the budget: the heap refuses, the source frees, the retry succeeds.
    void* block = allocate(400);
    EXPECT_NE(block, nullptr);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(hog, nullptr);
    release(block);
    unregister_memory_source(id);
}

TEST(Allocation, SourcesAreAskedInPriorityOrderUntilOneFrees) {
    std::vector<int> order;
    int a = register_memory_source(1, [&] {
        order.push_back(1);
        return true;
    });
    int b = register_memory_source(0, [&] {
        order.push_back(0);
        return false;
    });
    EXPECT_TRUE(free_memory_on_demand());
    EXPECT_EQ(order, (std::vector<int>{0, 1}));
    unregister_memory_source(a);
    unregister_memory_source(b);
    EXPECT_FALSE(free_memory_on_demand());
}

TEST(Allocation, ZeroedBlocksAreZeroAndTheBudgetIsKeptExactly) {
    std::size_t before = heap_bytes_in_use();
    auto* block = static_cast<unsigned char*>(allocate_zeroed(10, 7));
    EXPECT_EQ(heap_bytes_in_use(), before + 70);
    for (int i = 0; i < 70; ++i)
        EXPECT_EQ(block[i], 0);
    release(block);
    EXPECT_EQ(heap_bytes_in_use(), before);
}

TEST(Allocation, NothingToFreeEndsTheProgramWithTheOutOfMemoryMessage) {
    auto [status, text] = run_in_child([] {
        set_heap_budget(heap_bytes_in_use() + 100);
        allocate(101);
    });
    EXPECT_EQ(status, 255); // exit status -1
    EXPECT_EQ(text, "Error: I'm sorry. I have run out of memory. B-bye\n");
}

TEST(Handles, LowestFreeSlotIsReusedAndThe1025thEndsTheProgram) {
    int a = allocate_handle(16);
    int b = allocate_handle(16);
    EXPECT_NE(handle_block(a), nullptr);
    release_handle(a);
    EXPECT_EQ(handle_block(a), nullptr);
    EXPECT_EQ(allocate_handle(8), a);
    release_handle(a);
    release_handle(b);

    auto [status, text] = run_in_child([] {
        for (int i = 0; i <= handle_slot_count; ++i)
            allocate_handle(1);
    });
    EXPECT_EQ(status, 255);
    EXPECT_EQ(text, "Error: Out of handles!\n");
}

} // namespace
} // namespace zoetra
