#pragma once
// An intrusive Fibonacci heap: nodes live inside their owners and carry a
// 32-bit value (a handle or an index, never a pointer) that the heap hands to
// the owner's ordering callback. The top node holds the minimum; every other
// root hangs in the top's child ring as an unlinked child. A pop only marks
// the top; the work is done at the next top() or empty(), so several pops and
// inserts between reads stay cheap. Never allocates. One thread at a time.
#include <cstdint>

namespace zolt {

struct FibonacciHeapNode {
    enum Flags : uint8_t { in_heap = 1, popped = 2, linked = 4, marked = 8 };

    uint32_t value = 0;
    FibonacciHeapNode* next = this;
    FibonacciHeapNode* previous = this;
    // The node whose child ring holds this one; null for the top and outside.
    FibonacciHeapNode* parent = nullptr;
    FibonacciHeapNode* first_child = nullptr;
    // Children linked to this node (an unlinked child does not count).
    uint8_t degree = 0;
    uint8_t flags = 0;
};

class FibonacciHeap {
public:
    // Whether the first value orders before the second.
    using Less = bool (*)(uint32_t first, uint32_t second);

    explicit FibonacciHeap(Less less) : less_(less) {}
    FibonacciHeap(const FibonacciHeap&) = delete;
    FibonacciHeap& operator=(const FibonacciHeap&) = delete;

    // The node must not be in a heap, except as the popped top. A node that
    // orders the same as the top becomes the new top.
    void insert(FibonacciHeapNode* node);
    // Call after lowering the node's value.
    void decrease_key(FibonacciHeapNode* node);
    // Marks the top popped and answers it (null when empty).
    FibonacciHeapNode* pop();
    FibonacciHeapNode* top();
    bool empty() { return top() == nullptr; }
    // Takes every node out, flags 0.
    void clear();

private:
    void detach_node(FibonacciHeapNode* node);
    void add_child(FibonacciHeapNode* node, FibonacciHeapNode* parent);
    void cascading_cut(FibonacciHeapNode* node);
    void promote_children(FibonacciHeapNode* node, FibonacciHeapNode* destination);
    void remove_popped_roots();
    // Merges the top's child ring into at most one root per degree, taking
    // them out of the ring; answers the bit set of degrees used in the table.
    uint32_t consolidate(FibonacciHeapNode** table);
    FibonacciHeapNode* link_roots(FibonacciHeapNode* const* table, uint32_t occupied);
    void insert_against_top(FibonacciHeapNode* node);
    void finish_pop();

    FibonacciHeapNode* top_ = nullptr;
    Less less_;
};

}  // namespace zolt
