#include "libs/geometry/fibonacci_heap.h"

#include <gtest/gtest.h>

#include <queue>
#include <random>
#include <tuple>
#include <vector>

#include "support/child_process.h"

namespace zolt {
namespace {

// Heap values are indices into the owners' keys.
std::vector<uint32_t> keys;

bool key_less(uint32_t first, uint32_t second) {
    return keys[first] < keys[second];
}

struct Owners {
    explicit Owners(size_t count) : nodes(count) {
        keys.assign(count, 0);
        for (size_t index = 0; index < count; ++index) {
            nodes[index].value = static_cast<uint32_t>(index);
        }
    }
    FibonacciHeapNode& operator[](size_t index) { return nodes[index]; }
    std::vector<FibonacciHeapNode> nodes;
};

TEST(FibonacciHeap, EqualValueInsertedLaterBecomesTheTop) {
    Owners owners(3);
    keys = {5, 3, 3};
    FibonacciHeap heap(key_less);
    for (int index = 0; index < 3; ++index) {
        heap.insert(&owners[index]);
    }
    EXPECT_EQ(heap.top(), &owners[2]);
}

TEST(FibonacciHeap, PopIsFinishedAtTheNextRead) {
    Owners owners(1);
    FibonacciHeap heap(key_less);
    heap.insert(&owners[0]);
    EXPECT_EQ(heap.pop(), &owners[0]);
    EXPECT_TRUE(owners[0].flags & FibonacciHeapNode::popped);
    EXPECT_TRUE(heap.empty());
    EXPECT_EQ(owners[0].flags, 0);
    // Once finished, the node may go in again.
    heap.insert(&owners[0]);
    EXPECT_EQ(heap.top(), &owners[0]);
}

TEST(FibonacciHeap, InsertsAfterAPopJoinTheDeferredWork) {
    Owners owners(4);
    keys = {10, 20, 5, 15};
    FibonacciHeap heap(key_less);
    heap.insert(&owners[0]);
    heap.insert(&owners[1]);
    EXPECT_EQ(heap.pop(), &owners[0]);
    // The popped top is still in place: new nodes hang below it whatever their value.
    heap.insert(&owners[2]);
    heap.insert(&owners[3]);
    EXPECT_EQ(heap.pop(), &owners[2]);
    EXPECT_EQ(heap.pop(), &owners[3]);
    EXPECT_EQ(heap.pop(), &owners[1]);
    EXPECT_EQ(heap.pop(), nullptr);
}

TEST(FibonacciHeap, ClearTakesEveryNodeOut) {
    Owners owners(50);
    FibonacciHeap heap(key_less);
    for (size_t index = 0; index < 50; ++index) {
        keys[index] = static_cast<uint32_t>((index * 37) % 50);
        heap.insert(&owners[index]);
    }
    heap.pop();
    heap.pop();
    heap.clear();
    EXPECT_TRUE(heap.empty());
    for (const FibonacciHeapNode& node : owners.nodes) {
        EXPECT_EQ(node.flags, 0);
        EXPECT_EQ(node.first_child, nullptr);
        EXPECT_EQ(node.next, &node);
    }
    heap.insert(&owners[7]);
    EXPECT_EQ(heap.top(), &owners[7]);
}

// std::priority_queue cannot lower a key, so the model pushes the lowered
// key again and skips entries whose version is out of date.
class Model {
public:
    void push(uint32_t key, uint32_t index, uint32_t version) { queue_.emplace(key, index, version); }
    uint32_t top_key(const std::vector<uint32_t>& versions, const std::vector<bool>& in_heap) {
        while (true) {
            const auto& [key, index, version] = queue_.top();
            if (in_heap[index] && versions[index] == version) {
                return key;
            }
            queue_.pop();
        }
    }

private:
    using Entry = std::tuple<uint32_t, uint32_t, uint32_t>;
    std::priority_queue<Entry, std::vector<Entry>, std::greater<>> queue_;
};

TEST(FibonacciHeap, PopsInTheSameOrderAsPriorityQueueOverRandomOperations) {
    for (uint32_t seed = 1; seed <= 4; ++seed) {
        constexpr size_t count = 3000;
        Owners owners(count);
        FibonacciHeap heap(key_less);
        Model model;
        std::vector<uint32_t> versions(count, 0);
        std::vector<bool> in_heap(count, false);
        std::vector<uint32_t> members;
        std::mt19937 random(seed);
        // Few distinct keys in some rounds, so ties are common.
        const uint32_t key_range = seed % 2 == 0 ? 50 : 1000000;
        size_t live = 0, pops = 0, decreases = 0;
        for (int step = 0; step < 30000; ++step) {
            const uint32_t choice = random() % 10;
            if (choice < 4 && live < count) {
                uint32_t index;
                do {
                    index = random() % count;
                } while (in_heap[index]);
                keys[index] = random() % key_range;
                ++versions[index];
                in_heap[index] = true;
                ++live;
                heap.insert(&owners[index]);
                model.push(keys[index], index, versions[index]);
            } else if (choice < 7 && live > 0) {
                uint32_t index;
                do {
                    index = random() % count;
                } while (!in_heap[index]);
                keys[index] -= keys[index] > 0 ? random() % (keys[index] + 1) : 0;
                ++versions[index];
                heap.decrease_key(&owners[index]);
                model.push(keys[index], index, versions[index]);
                ++decreases;
            } else if (live > 0) {
                // Several pops in a row leave their work to the next read.
                FibonacciHeapNode* const node = heap.pop();
                ASSERT_NE(node, nullptr);
                ASSERT_EQ(keys[node->value], model.top_key(versions, in_heap)) << "seed " << seed << " step " << step;
                in_heap[node->value] = false;
                --live;
                ++pops;
            }
            if (step % 97 == 0) {
                ASSERT_EQ(heap.empty(), live == 0);
            }
        }
        while (live > 0) {
            FibonacciHeapNode* const node = heap.pop();
            ASSERT_EQ(keys[node->value], model.top_key(versions, in_heap));
            in_heap[node->value] = false;
            --live;
        }
        EXPECT_TRUE(heap.empty());
        EXPECT_GT(pops, 5000u);
        EXPECT_GT(decreases, 5000u);
    }
}

TEST(FibonacciHeap, DecreaseKeyCanMakeANodeTheTop) {
    Owners owners(40);
    FibonacciHeap heap(key_less);
    for (size_t index = 0; index < 40; ++index) {
        keys[index] = 100 + static_cast<uint32_t>(index);
        heap.insert(&owners[index]);
    }
    // Consolidate into linked trees first, then lower a deep node below the top.
    EXPECT_EQ(heap.pop(), &owners[0]);
    EXPECT_EQ(heap.top(), &owners[1]);
    keys[39] = 1;
    heap.decrease_key(&owners[39]);
    EXPECT_EQ(heap.top(), &owners[39]);
    keys[20] = 1;
    heap.decrease_key(&owners[20]);
    EXPECT_EQ(heap.top(), &owners[20]);
}

TEST(FibonacciHeap, MisuseOfANodeIsFatal) {
    const auto twice = test::run_in_child([] {
        Owners owners(1);
        FibonacciHeap heap(key_less);
        heap.insert(&owners[0]);
        heap.insert(&owners[0]);
    });
    EXPECT_EQ(twice.exit_code, ExitCode::crash);
    EXPECT_NE(twice.standard_error.find("inserted while in a heap"), std::string::npos);
}

}  // namespace
}  // namespace zolt
