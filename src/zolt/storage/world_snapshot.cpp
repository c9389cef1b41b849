#include "zolt/storage/world_snapshot.h"

#include "zolt/core/object_server/server_base.h"
#include "zolt/storage/save_file_layout.h"
#include "zolt/storage/save_stream_buffers.h"

namespace zolt::storage {

namespace {

class SnapshotSaveStream final : public SaveStream {
public:
    SnapshotSaveStream() { set_buffer(get_file_save_buffer(), save_stream_capacity); }
    bool open(uint32_t) override { return true; }
    bool finish() override { return !overflow_; }
    uint32_t get_size() const { return get_used_size(); }

protected:
    void flush_buffer(uint8_t*&, uint32_t&, uint32_t) override { overflow_ = true; }

private:
    bool overflow_ = false;
};

class SnapshotLoadStream final : public LoadStream {
public:
    explicit SnapshotLoadStream(uint32_t size) { set_buffer(get_file_save_buffer(), size); }
    bool open(uint32_t) override { return true; }
};

}  // namespace

bool WorldSnapshot::take() {
    SnapshotSaveStream stream;
    core::save_all_servers(stream);
    size_ = stream.finish() ? stream.get_size() : 0;
    return size_ != 0;
}

bool WorldSnapshot::restore() {
    if (size_ == 0) {
        return false;
    }
    SnapshotLoadStream stream(size_);
    return core::load_all_servers(stream);
}

}  // namespace zolt::storage
