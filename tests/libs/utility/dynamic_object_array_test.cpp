#include "libs/utility/dynamic_object_array.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <list>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "support/child_process.h"

namespace zolt {
namespace {

struct alignas(16) GraphNode {
    explicit GraphNode(uint32_t id) : id(id) {}
    uint32_t id;
    float position[3] = {};
};

template <typename T, uint32_t N>
std::vector<uint32_t> walk_used(DynamicObjectArray<T, N>& array) {
    std::vector<uint32_t> indices;
    for (T* object = array.get_first_used_object(); object != nullptr; object = array.get_next_used_object(object)) {
        indices.push_back(array.get_object_index(object));
    }
    return indices;
}

TEST(DynamicObjectArray, TakesSlotsInIndexOrderAndReusesFreedSlotsFirstFreedFirst) {
    static DynamicObjectArray<GraphNode, 4> array;
    EXPECT_EQ(array.get_free_count(), 4u);
    EXPECT_EQ(array.get_first_used_object(), nullptr);
    GraphNode* nodes[4];
    for (uint32_t index = 0; index < 4; ++index) {
        nodes[index] = new (array.allocate_object_memory()) GraphNode(index);
        EXPECT_EQ(nodes[index], array.get_object(index));
        EXPECT_EQ(reinterpret_cast<uintptr_t>(nodes[index]) % 16, 0u);
    }
    EXPECT_EQ(walk_used(array), (std::vector<uint32_t>{0, 1, 2, 3}));
    EXPECT_EQ(array.get_free_count(), 0u);
    EXPECT_EQ(array.get_used_count(), 4u);

    array.free_object_memory(nodes[2]);
    array.free_object_memory(nodes[0]);  // the used head moves on
    EXPECT_EQ(walk_used(array), (std::vector<uint32_t>{1, 3}));
    EXPECT_EQ(array.get_free_count(), 2u);
    EXPECT_EQ(array.get_used_count(), 2u);

    EXPECT_EQ(array.allocate_object_memory(), array.get_object(2));
    EXPECT_EQ(array.allocate_object_memory(), array.get_object(0));
    EXPECT_EQ(walk_used(array), (std::vector<uint32_t>{1, 3, 2, 0}));
}

// The rings against two lists: the used walk, the counts and the slot of
// every allocation are predicted exactly, and objects keep their contents.
TEST(DynamicObjectArray, RandomAllocationsAndFreesFollowTheModelRings) {
    constexpr uint32_t capacity = 64;
    static DynamicObjectArray<GraphNode, capacity> array;
    std::list<uint32_t> free_ring;
    std::list<uint32_t> used_ring;
    for (uint32_t index = 0; index < capacity; ++index) {
        free_ring.push_back(index);
    }
    std::mt19937 random(11);
    uint32_t next_id = 1000;
    for (int step = 0; step < 20000; ++step) {
        if (!free_ring.empty() && (used_ring.empty() || random() % 2 == 0)) {
            auto* node = new (array.allocate_object_memory()) GraphNode(next_id + free_ring.front());
            ASSERT_EQ(array.get_object_index(node), free_ring.front()) << "step " << step;
            used_ring.push_back(free_ring.front());
            free_ring.pop_front();
        } else {
            auto position = used_ring.begin();
            std::advance(position, static_cast<long>(random() % used_ring.size()));
            GraphNode* node = array.get_object(*position);
            ASSERT_EQ(node->id, next_id + *position);
            node->~GraphNode();
            array.free_object_memory(node);
            free_ring.push_back(*position);
            used_ring.erase(position);
        }
        ASSERT_EQ(array.get_used_count(), used_ring.size());
        ASSERT_EQ(array.get_free_count(), free_ring.size());
        ASSERT_EQ(walk_used(array), std::vector<uint32_t>(used_ring.begin(), used_ring.end())) << "step " << step;
    }
}

#ifndef NDEBUG
TEST(DynamicObjectArray, DebugBuildsPanicOnASecondFreeOrAForeignObject) {
    struct Case {
        const char* name;
        bool second_free;
        const char* message;
    };
    const Case cases[] = {{"second free", true, "is freed twice"},
                          {"foreign object", false, "which is not an object of this array"}};
    for (const Case& c : cases) {
        const test::ChildResult result = test::run_in_child([&] {
            static DynamicObjectArray<GraphNode, 4> array;
            auto* node = static_cast<GraphNode*>(array.allocate_object_memory());
            array.allocate_object_memory();
            if (c.second_free) {
                array.free_object_memory(node);
                array.free_object_memory(node);
            } else {
                array.free_object_memory(node + 5);
            }
        });
        EXPECT_TRUE(result.exited) << c.name;
        EXPECT_EQ(result.exit_code, ExitCode::crash) << c.name;
        EXPECT_NE(result.standard_error.find(c.message), std::string::npos) << c.name << ": " << result.standard_error;
    }
}
#endif

}  // namespace
}  // namespace zolt
