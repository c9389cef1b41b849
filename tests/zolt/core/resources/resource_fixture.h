#pragma once
// Resources with bytes a test builds, packed into one pack of key 0 and
// opened through the registered resource server for the test's length; and
// a little-endian writer for such bytes.
#include <cstring>
#include <utility>
#include <vector>

#include "zolt/core/resources/resource_loader_test_support.h"

namespace zolt::test {

class ResourceBytes {
public:
    uint32_t size() const { return static_cast<uint32_t>(bytes_.size()); }
    uint32_t add_u32(uint32_t value) { return add(&value, 4); }
    uint32_t add_u16(uint16_t value) { return add(&value, 2); }
    uint32_t add_f32(float value) { return add(&value, 4); }
    void set_u32(uint32_t offset, uint32_t value) { std::memcpy(bytes_.data() + offset, &value, 4); }
    const Bytes& get_bytes() const { return bytes_; }

private:
    uint32_t add(const void* value, uint32_t size) {
        const uint32_t offset = this->size();
        bytes_.resize(offset + size);
        std::memcpy(bytes_.data() + offset, value, size);
        return offset;
    }
    Bytes bytes_;
};

class RegisteredResources {
public:
    explicit RegisteredResources(const std::vector<std::pair<uint32_t, Bytes>>& resources) {
        tools::PackDescription pack{0, io::pack_engine_version, {}};
        for (const auto& [id, bytes] : resources) {
            pack.resources.push_back(make_resource(id, bytes, 2));
        }
        folder_.add_pack("fixture.pack", pack);
        folder_.write_pack_list();
        core::resource_server.register_server();
    }
    ~RegisteredResources() {
        if (core::resource_server.is_registered()) {
            core::resource_server.unregister_server();
        }
    }
    RegisteredResources(const RegisteredResources&) = delete;
    RegisteredResources& operator=(const RegisteredResources&) = delete;

private:
    PackFolder folder_;
};

}  // namespace zolt::test
