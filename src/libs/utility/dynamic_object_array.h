#pragma once
// A fixed pool of N objects of T that also keeps the objects in use in the
// order they were taken. Free and used slots sit on two circular rings of
// slot records (32-bit slot indices); a slot is taken from the front of the
// free ring and given back to its end. The array hands out memory only: the
// owner constructs and destroys the objects. Only the thread that owns the
// array may call it.
#include <cstdint>
#include <cstring>

#include "libs/utility/fatal_error.h"

namespace zolt {

template <typename T, uint32_t N>
class DynamicObjectArray {
    static_assert(N > 0 && N < 0xFFFFFFFFu, "slot indices are 32-bit");

public:
    DynamicObjectArray() {
        for (uint32_t index = 0; index < N; ++index) {
            slots_[index] = {index + 1 == N ? 0 : index + 1, index == 0 ? N - 1 : index - 1};
        }
#ifndef NDEBUG
        std::memset(slot_in_use_, 0, sizeof slot_in_use_);
#endif
    }
    DynamicObjectArray(const DynamicObjectArray&) = delete;
    DynamicObjectArray& operator=(const DynamicObjectArray&) = delete;

    // Memory for one T; an array with no free slot is fatal.
    void* allocate_object_memory() {
        if (free_head_ == no_slot) {
            ZOLT_PANIC("out of memory");
        }
        const uint32_t index = free_head_;
        free_head_ = unlink(index, free_head_);
        append(index, used_head_);
        --free_count_;
        ++used_count_;
#ifndef NDEBUG
        slot_in_use_[index] = 1;
#endif
        return objects_ + uint64_t{index} * sizeof(T);
    }

    // The object has been destroyed by its owner.
    void free_object_memory(T* object) {
        const uint32_t index = get_object_index(object);
#ifndef NDEBUG
        check_free(object, index);
        slot_in_use_[index] = 0;
#endif
        used_head_ = unlink(index, used_head_);
        append(index, free_head_);
        --used_count_;
        ++free_count_;
    }

    uint32_t get_free_count() const {
        return free_count_;
    }
    uint32_t get_used_count() const {
        return used_count_;
    }

    uint32_t get_object_index(const T* object) const {
        return static_cast<uint32_t>((reinterpret_cast<const uint8_t*>(object) - objects_) / sizeof(T));
    }
    T* get_object(uint32_t index) {
        return reinterpret_cast<T*>(objects_ + uint64_t{index} * sizeof(T));
    }

    // The used objects in the order they were taken; null after the last.
    T* get_first_used_object() {
        return used_head_ == no_slot ? nullptr : get_object(used_head_);
    }
    T* get_next_used_object(const T* object) {
        const uint32_t next = slots_[get_object_index(object)].next;
        return next == used_head_ ? nullptr : get_object(next);
    }

private:
    static constexpr uint32_t no_slot = 0xFFFFFFFF;

    struct SlotRecord {
        uint32_t next;
        uint32_t previous;
    };

    // Takes the slot off its ring and answers the ring's new head.
    uint32_t unlink(uint32_t index, uint32_t head) {
        SlotRecord& slot = slots_[index];
        if (slot.next == index) {
            return no_slot;
        }
        slots_[slot.previous].next = slot.next;
        slots_[slot.next].previous = slot.previous;
        return head == index ? slot.next : head;
    }

    // Puts the slot at the end of the ring, just before its head.
    void append(uint32_t index, uint32_t& head) {
        SlotRecord& slot = slots_[index];
        if (head == no_slot) {
            slot = {index, index};
            head = index;
            return;
        }
        const uint32_t last = slots_[head].previous;
        slot = {head, last};
        slots_[last].next = index;
        slots_[head].previous = index;
    }

    void check_free(const T* object, uint32_t index) const {
        const uint8_t* address = reinterpret_cast<const uint8_t*>(object);
        if (address < objects_ || address >= objects_ + sizeof objects_ || (address - objects_) % sizeof(T) != 0) {
            ZOLT_PANIC("free of %p, which is not an object of this array", static_cast<const void*>(object));
        }
        if (slot_in_use_[index] == 0) {
            ZOLT_PANIC("object %p is freed twice", static_cast<const void*>(object));
        }
    }

    uint32_t free_head_ = 0;
    uint32_t used_head_ = no_slot;
    uint32_t free_count_ = N;
    uint32_t used_count_ = 0;
    alignas(16) alignas(T) uint8_t objects_[sizeof(T) * N];
    SlotRecord slots_[N];
    // Kept by debug builds only; release builds never touch these pages.
    uint8_t slot_in_use_[N];
};

}  // namespace zolt
