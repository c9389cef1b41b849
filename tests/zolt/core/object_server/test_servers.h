#pragma once
// Small servers for exercising the framework: objects carry one saved word
// and record their finalize order; the renderer's hold on dead objects is a
// flag the tests flip.
#include <string>
#include <vector>

#include "zolt/core/object_server/pooled_server.h"
#include "zolt/core/object_server/stream_words.h"

namespace zolt::test {

inline std::vector<core::ObjectHandle> finalized;

class TestObject final : public core::ServerObject {
public:
    void initialize(uint32_t argument) override { payload = argument; }
    void finalize() override { finalized.push_back(get_handle()); }
    void save(storage::SaveStream& stream) override {
        ServerObject::save(stream);
        core::write_u32(stream, payload);
    }
    bool load(storage::LoadStream& stream) override {
        return ServerObject::load(stream) && core::read_u32(stream, payload);
    }
    uint32_t payload = 0;
    bool in_use_by_renderer = false;
};

template <uint32_t N>
class TestServer final : public core::PooledServer<TestObject, N> {
public:
    explicit TestServer(uint32_t type, const char* name = "TestServer")
        : core::PooledServer<TestObject, N>(type), name_(name) {}
    const char* get_name() const override { return name_; }
    bool is_object_in_use(core::ServerObject* object, bool) override {
        return static_cast<TestObject*>(object)->in_use_by_renderer;
    }
    TestObject* create(uint32_t payload = 0) { return static_cast<TestObject*>(this->create_object_internal(payload)); }
    std::vector<core::ObjectHandle> free_handles() const { return handles_of(this->get_free_list()); }
    std::vector<core::ObjectHandle> live_handles() const { return handles_of(this->get_live_list()); }

private:
    static std::vector<core::ObjectHandle> handles_of(const core::ObjectList& list) {
        std::vector<core::ObjectHandle> handles;
        for (core::ServerObject* object = list.get_head(); object != nullptr;) {
            handles.push_back(object->get_handle());
            object =
                core::ObjectList::get_next(object) != list.get_head() ? core::ObjectList::get_next(object) : nullptr;
        }
        return handles;
    }
    const char* name_;
};

}  // namespace zolt::test
