#include "libs/geometry/fibonacci_heap.h"

#include "libs/utility/fatal_error.h"

namespace zolt {

namespace {

using Node = FibonacciHeapNode;

constexpr uint32_t degree_table_size = 32;

void reset_links(Node* node) {
    node->next = node->previous = node;
    node->parent = nullptr;
}

// Appends at the end of the parent's child ring without linking.
void append_child(Node* node, Node* parent) {
    Node* const first = parent->first_child;
    if (first == nullptr) {
        parent->first_child = node;
        node->next = node->previous = node;
    } else {
        Node* const last = first->previous;
        node->previous = last;
        node->next = first;
        last->next = node;
        first->previous = node;
    }
    node->parent = parent;
}

}  // namespace

void FibonacciHeap::detach_node(Node* node) {
    if (Node* const parent = node->parent) {
        if (node->flags & Node::linked) {
            --parent->degree;
            node->flags &= static_cast<uint8_t>(~(Node::linked | Node::marked));
        }
        if (parent->first_child == node) {
            parent->first_child = node->next != node ? node->next : nullptr;
        }
    }
    node->previous->next = node->next;
    node->next->previous = node->previous;
    reset_links(node);
}

void FibonacciHeap::add_child(Node* node, Node* parent) {
    append_child(node, parent);
    node->flags &= static_cast<uint8_t>(~(Node::linked | Node::marked));
    if (parent->degree == node->degree) {
        ++parent->degree;
        parent->first_child = node;
        node->flags |= Node::linked;
    }
}

void FibonacciHeap::cascading_cut(Node* node) {
    // The node stays in its parent's ring but no longer counts in its degree.
    while (node->flags & Node::linked) {
        Node* const parent = node->parent;
        --parent->degree;
        node->flags &= static_cast<uint8_t>(~(Node::linked | Node::marked));
        if (!(parent->flags & Node::linked)) {
            return;
        }
        if (!(parent->flags & Node::marked)) {
            parent->flags |= Node::marked;
            return;
        }
        node = parent;
    }
}

void FibonacciHeap::promote_children(Node* node, Node* destination) {
    while (Node* const child = node->first_child) {
        detach_node(child);
        child->flags &= static_cast<uint8_t>(~(Node::linked | Node::marked));
        append_child(child, destination);
    }
    node->degree = 0;
}

void FibonacciHeap::insert_against_top(Node* node) {
    if (top_ == nullptr) {
        top_ = node;
        return;
    }
    if ((top_->flags & Node::popped) || less_(top_->value, node->value)) {
        add_child(node, top_);
        return;
    }
    Node* const old_top = top_;
    top_ = node;
    add_child(old_top, node);
}

void FibonacciHeap::insert(Node* node) {
    // The popped top going straight back in: its pop must be finished first.
    if (node == top_ && (node->flags & Node::popped)) {
        finish_pop();
    }
    if (node->flags != 0) {
        ZOLT_PANIC("heap node with value %u inserted while in a heap", node->value);
    }
    reset_links(node);
    node->first_child = nullptr;
    node->degree = 0;
    node->flags = Node::in_heap;
    insert_against_top(node);
}

void FibonacciHeap::decrease_key(Node* node) {
    if (!(node->flags & Node::in_heap)) {
        ZOLT_PANIC("decrease_key of heap node with value %u, which is in no heap", node->value);
    }
    if (node == top_) {
        return;
    }
    Node* const parent = node->parent;
    if (parent != nullptr && !(parent->flags & Node::popped) && !less_(node->value, parent->value)) {
        return;
    }
    cascading_cut(node);
    detach_node(node);
    insert_against_top(node);
}

Node* FibonacciHeap::pop() {
    Node* const node = top();
    if (node != nullptr) {
        node->flags |= Node::popped;
    }
    return node;
}

Node* FibonacciHeap::top() {
    if (top_ != nullptr && (top_->flags & Node::popped)) {
        finish_pop();
    }
    return top_;
}

void FibonacciHeap::remove_popped_roots() {
    // Rescans after each removal: the ring changes under the walk, and popped
    // roots other than the top are rare.
    for (bool removed = true; removed;) {
        removed = false;
        Node* const first = top_->first_child;
        if (first == nullptr) {
            return;
        }
        Node* node = first;
        do {
            if (node->flags & Node::popped) {
                promote_children(node, top_);
                detach_node(node);
                node->flags = 0;
                removed = true;
                break;
            }
            node = node->next;
        } while (node != first);
    }
}

uint32_t FibonacciHeap::consolidate(Node** table) {
    uint32_t occupied = 0;
    while (Node* root = top_->first_child) {
        detach_node(root);
        for (;;) {
            if (root->degree >= degree_table_size) {
                ZOLT_PANIC("heap node degree %u exceeds the consolidation table", root->degree);
            }
            const uint32_t bit = 1u << root->degree;
            if (!(occupied & bit)) {
                table[root->degree] = root;
                occupied |= bit;
                break;
            }
            occupied &= ~bit;
            Node* const stored = table[root->degree];
            if (less_(root->value, stored->value)) {
                add_child(stored, root);
            } else {
                add_child(root, stored);
                root = stored;
            }
        }
    }
    return occupied;
}

Node* FibonacciHeap::link_roots(Node* const* table, uint32_t occupied) {
    Node* result = nullptr;
    for (uint32_t degree = 0; degree < degree_table_size; ++degree) {
        if (!(occupied & (1u << degree))) {
            continue;
        }
        Node* const root = table[degree];
        if (result == nullptr) {
            result = root;
        } else if (less_(root->value, result->value)) {
            add_child(result, root);
            result = root;
        } else {
            add_child(root, result);
        }
    }
    return result;
}

void FibonacciHeap::finish_pop() {
    Node* const old_top = top_;
    remove_popped_roots();
    Node* table[degree_table_size];
    top_ = old_top->first_child != nullptr ? link_roots(table, consolidate(table)) : nullptr;
    if (top_ != nullptr) {
        top_->flags &= static_cast<uint8_t>(~(Node::linked | Node::marked));
        reset_links(top_);
    }
    reset_links(old_top);
    old_top->first_child = nullptr;
    old_top->degree = 0;
    old_top->flags = 0;
}

void FibonacciHeap::clear() {
    if (top_ == nullptr) {
        return;
    }
    while (Node* const child = top_->first_child) {
        promote_children(child, top_);
        detach_node(child);
        child->flags = 0;
    }
    top_->degree = 0;
    top_->flags = 0;
    reset_links(top_);
    top_ = nullptr;
}

}  // namespace zolt
