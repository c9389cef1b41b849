#pragma once
// A server with a fixed pool of N objects of class T, built at program start.
// A handle lookup is a table index, a multiply and one comparison.
#include <cstddef>

#include "zolt/core/object_server/server_base.h"

namespace zolt::core {

template <typename T, uint32_t N>
class PooledServer : public ServerBase {
public:
    explicit PooledServer(uint32_t type) : ServerBase(type) {
        for (uint32_t slot = 0; slot < N; ++slot) {
            add_free_slot(&objects()[slot], slot);
        }
        set_object_array(&objects()[0], static_cast<uint32_t>(sizeof(T)), N);
    }

    uint32_t get_capacity() const override { return N; }

    ServerObject* get_object_address(ObjectHandle handle) override { return &objects()[get_handle_index(handle)]; }

    ServerObject* get_object_internal(ObjectHandle handle) final {
        const uint32_t index = get_handle_index(handle);
        if (index >= N) {
            return nullptr;
        }
        T* const object = &objects()[index];
        return object->get_handle() == handle ? object : nullptr;
    }

    ServerObject* get_object_resolved(ObjectHandle handle) override { return get_object_internal(handle); }

    bool get_statistics(ServerStatistics& out) const override {
        out = {live_count_, high_water_count_, N, static_cast<uint32_t>(sizeof(T))};
        return true;
    }

    uint32_t get_memory_size() const override { return static_cast<uint32_t>(sizeof(*this)); }

    T* get_typed_object(ObjectHandle handle) { return static_cast<T*>(get_object_internal(handle)); }
    T& get_slot(uint32_t slot) { return objects()[slot]; }

private:
    T* objects() { return objects_; }
    const T* objects() const { return objects_; }

    alignas(16) T objects_[N];
};

}  // namespace zolt::core
