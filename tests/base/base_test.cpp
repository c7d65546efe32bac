#include "base/handles.hpp"
#include "base/memory.hpp"
#include "base/sliced_task.hpp"
#include "base/string_list.hpp"
#include "base/utility.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace zoetra {
namespace {

// A heap budget of `bytes` more than is in use, until the end of the scope.
struct budget_guard {
    std::size_t old = heap_budget();
    explicit budget_guard(std::size_t bytes) { set_heap_budget(heap_bytes_in_use() + bytes); }
    ~budget_guard() { set_heap_budget(old); }
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

TEST(AllocationDeathTest, NothingToFreeEndsTheProgramWithTheOutOfMemoryMessage) {
    budget_guard budget(100);
    EXPECT_EXIT(allocate(101), ::testing::ExitedWithCode(255), // exit status -1
                "^Error: I'm sorry. I have run out of memory. B-bye\n$");
}

TEST(HandlesDeathTest, LowestFreeSlotIsReusedAndThe1025thEndsTheProgram) {
    int a = allocate_handle(16);
    int b = allocate_handle(16);
    EXPECT_NE(handle_block(a), nullptr);
    release_handle(a);
    EXPECT_EQ(handle_block(a), nullptr);
    EXPECT_EQ(allocate_handle(8), a);
    release_handle(a);
    release_handle(b);

    EXPECT_EXIT(
        {
            for (int i = 0; i <= handle_slot_count; ++i)
                allocate_handle(1);
        },
        ::testing::ExitedWithCode(255), "^Error: Out of handles!\n$");
}

TEST(ReadNumber, TakesTheLongestLeadingDecimalNumber) {
    // Hexadecimal, infinities and NaN are not decimal numbers.
    const std::pair<const char*, double> cases[] = {{"12abc", 12}, {"  -3.5e2x", -350}, {"abc", 0},
                                                    {"", 0},       {".5", 0.5},         {"7e", 7},
                                                    {"0x10", 0},   {"inf", 0},          {"nan", 0}};
    for (auto [text, value] : cases)
        EXPECT_DOUBLE_EQ(read_number(text), value) << text;
}

// (The listings only append and read; the rest of the list is here.)
TEST(StringList, InsertsRemovesFindsAndResizes) {
    string_list list;
    list.append("b");
    list.insert_before(0, "a");
    list.insert_before(9, "c"); // past the end: appended
    list.remove(1);
    list.resize(3);
    EXPECT_EQ(std::vector<std::string>(list.begin(), list.end()),
              (std::vector<std::string>{"a", "c", ""}));
    EXPECT_EQ(std::pair(list.find("c"), list.find("z")), std::pair(1, -1));
    EXPECT_EQ(list.get(3) + list.get(-1), "");
    list.resize(1);
    EXPECT_EQ(list.count(), 1);
}

} // namespace

TEST(SlicedTask, RunsOnlyWhileTheCallerWaitsAndPausesWhenTheSliceIsOver) {
    // The work and the caller take turns on one counter without a lock: a
    // data race would show under the thread sanitizer and in lost counts.
    int shared = 0;
    int pauses = 0;
    sliced_task task([&](sliced_task::pauser& p) {
        for (int i = 0; i < 50; ++i) {
            ++shared;
            ++pauses;
            p.pause();
        }
    });
    EXPECT_EQ(shared, 0) << "nothing runs before the first slice";
    int slices = 0;
    while (!task.run_slice(std::chrono::steady_clock::duration::zero())) {
        ++slices;
        ++shared; // the caller's turn
    }
    EXPECT_EQ(slices, 50) << "a slice of no time stops at every pause";
    EXPECT_EQ(shared, 100);
    EXPECT_TRUE(task.done());
    sliced_task long_slice([&](sliced_task::pauser& p) {
        for (int i = 0; i < 50; ++i)
            p.pause();
    });
    EXPECT_TRUE(long_slice.run_slice(std::chrono::seconds(10)));
    {
        sliced_task never([&](sliced_task::pauser&) { shared = -1; });
    }
    EXPECT_EQ(shared, 100) << "work never started is dropped";

    // Cancelled work unwinds from its next pause: what it holds lets go.
    auto held = std::make_shared<int>(0);
    {
        sliced_task cancelled([&, held](sliced_task::pauser& p) {
            auto mine = held;
            for (int i = 0; i < 1000; ++i) {
                ++*mine;
                p.pause();
            }
        });
        cancelled.run_slice(std::chrono::steady_clock::duration::zero());
        cancelled.run_slice(std::chrono::steady_clock::duration::zero());
    }
    EXPECT_EQ(*held, 2);
    EXPECT_EQ(held.use_count(), 1);
}

} // namespace zoetra
