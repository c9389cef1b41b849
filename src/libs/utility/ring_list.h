#pragma once
// Circular doubly linked lists threaded through their nodes: the list is a
// head pointer, the head's previous node is the tail, and an empty list is
// null. The node's link members are named by member pointers, so one node
// can sit in several such lists. The caller owns the locking.

namespace zolt {

template <typename Node, Node* Node::*next, Node* Node::*previous>
struct RingList {
    static void append(Node*& head, Node* node) {
        if (head == nullptr) {
            node->*next = node->*previous = node;
            head = node;
            return;
        }
        Node* const tail = head->*previous;
        node->*previous = tail;
        node->*next = head;
        tail->*next = node;
        head->*previous = node;
    }

    // The node's own links are left as they were.
    static void remove(Node*& head, Node* node) {
        if (head == node) {
            head = node->*next != node ? node->*next : nullptr;
        }
        (node->*previous)->*next = node->*next;
        (node->*next)->*previous = node->*previous;
    }
};

}  // namespace zolt
