#include "zolt/renderer/batcher/render_layer_comparators.h"

#include <cstdint>

#include "zolt/renderer/batcher/render_request.h"

namespace zolt::renderer {

namespace {

// Answers a < b when the fields differ, and lets the chain go on when not.
class Order {
public:
    Order(uint32_t a, uint32_t b) : a_(get_render_request(a)), b_(get_render_request(b)) {}

    template <typename T>
    Order& ascending(T RenderRequest::*field) {
        return compare(a_.*field, b_.*field);
    }
    template <typename T>
    Order& descending(T RenderRequest::*field) {
        return compare(b_.*field, a_.*field);
    }
    Order& sort_byte(uint32_t index) { return compare(a_.sort_bytes[index], b_.sort_bytes[index]); }
    template <typename T>
    Order& address(T RenderRequest::*field) {
        return compare(reinterpret_cast<uintptr_t>(a_.*field), reinterpret_cast<uintptr_t>(b_.*field));
    }
    operator bool() const { return decided_ && before_; }

private:
    template <typename T>
    Order& compare(const T& first, const T& second) {
        if (!decided_ && first != second) {
            decided_ = true;
            before_ = first < second;
        }
        return *this;
    }

    const RenderRequest& a_;
    const RenderRequest& b_;
    bool decided_ = false;
    bool before_ = false;
};

using R = RenderRequest;

}  // namespace

bool compare_by_program(uint32_t a, uint32_t b) {
    return Order(a, b)
        .ascending(&R::sort_key)
        .sort_byte(0)
        .sort_byte(1)
        .ascending(&R::shader_index)
        .address(&R::clip_rectangle)
        .ascending(&R::object_id)
        .ascending(&R::view_depth);
}

bool compare_by_provider(uint32_t a, uint32_t b) {
    return Order(a, b).address(&R::value_provider).ascending(&R::shader_index);
}

bool compare_back_to_front(uint32_t a, uint32_t b) {
    return Order(a, b).descending(&R::eye_distance).ascending(&R::sort_key).ascending(&R::shader_index);
}

bool compare_by_key(uint32_t a, uint32_t b) {
    return Order(a, b)
        .ascending(&R::sort_key)
        .ascending(&R::object_id)
        .address(&R::clip_rectangle)
        .ascending(&R::view_depth);
}

bool compare_back_to_front_by_key(uint32_t a, uint32_t b) {
    return Order(a, b).descending(&R::eye_distance).ascending(&R::sort_key).ascending(&R::object_id);
}

bool compare_by_object(uint32_t a, uint32_t b) {
    return Order(a, b).ascending(&R::object_id);
}

bool compare_none(uint32_t, uint32_t) {
    return false;
}

}  // namespace zolt::renderer
