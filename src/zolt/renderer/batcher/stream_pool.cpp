#include "zolt/renderer/batcher/stream_pool.h"

#include <memory>

#include "libs/utility/fatal_error.h"
#include "zolt/renderer/backend/rendering_commands.h"

namespace zolt::renderer {

namespace {

constexpr uint32_t no_record = 0xFFFFFFFF;

struct StreamRecord {
    Stream stream;
    uint32_t next = no_record;
    uint32_t release_stamp = 0;
};

struct StreamPool {
    std::unique_ptr<StreamRecord[]> records{new StreamRecord[stream_pool_capacity]};
    uint32_t free_head = 0;
    uint32_t free_count = stream_pool_capacity;
    // Oldest first, so streams are freed in the order they were given up.
    uint32_t retired_head = no_record;
    uint32_t retired_tail = no_record;
    uint32_t retired_count = 0;

    StreamPool() {
        for (uint32_t index = 0; index < stream_pool_capacity; ++index) {
            records[index].next = index + 1 < stream_pool_capacity ? index + 1 : no_record;
        }
    }

    uint32_t index_of(const Stream* stream) const {
        // The stream is the record's first member.
        const auto* record = reinterpret_cast<const StreamRecord*>(stream);
        const auto index = static_cast<uint32_t>(record - records.get());
        if (index >= stream_pool_capacity) {
            ZOLT_PANIC("stream 0x%p is not from the pool", static_cast<const void*>(stream));
        }
        return index;
    }
};

StreamPool& get_pool() {
    static StreamPool pool;
    return pool;
}

}  // namespace

Stream* create_stream(const StreamDescription& description, const void* data) {
    release_retired_streams();
    StreamPool& pool = get_pool();
    if (pool.free_head == no_record) {
        ZOLT_PANIC("out of memory");
    }
    StreamRecord& record = pool.records[pool.free_head];
    pool.free_head = record.next;
    --pool.free_count;
    record.next = no_record;
    record.stream = Stream{};
    record.stream.initialize(description, data);
    return &record.stream;
}

void queue_stream_release(Stream* stream) {
    if (stream == nullptr) {
        return;
    }
    StreamPool& pool = get_pool();
    const uint32_t index = pool.index_of(stream);
    StreamRecord& record = pool.records[index];
    record.release_stamp = read_issued_counter();
    record.next = no_record;
    if (pool.retired_tail == no_record) {
        pool.retired_head = index;
    } else {
        pool.records[pool.retired_tail].next = index;
    }
    pool.retired_tail = index;
    ++pool.retired_count;
}

void release_retired_streams() {
    StreamPool& pool = get_pool();
    while (pool.retired_head != no_record) {
        const uint32_t index = pool.retired_head;
        StreamRecord& record = pool.records[index];
        pool.retired_head = record.next;
        record.stream.free_copy(0);
        record.stream.free_copy(1);
        record.next = pool.free_head;
        pool.free_head = index;
        ++pool.free_count;
        --pool.retired_count;
    }
    pool.retired_tail = no_record;
}

void release_all_streams() {
    release_retired_streams();
}

uint32_t get_free_stream_count() {
    return get_pool().free_count;
}

uint32_t get_retired_stream_count() {
    return get_pool().retired_count;
}

}  // namespace zolt::renderer
