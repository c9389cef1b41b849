#pragma once
// Reads queued to the IO thread into a fixed destination buffer. One read is
// outstanding at a time; the file handle belongs to its owner (a pack) and is
// never closed here. The owning thread alone calls these operations.
#include <cstdint>

#include "libs/io/request.h"

namespace zolt::io {

class AsyncReader {
public:
    // Halts when a read is still outstanding.
    virtual ~AsyncReader() = default;
    virtual void start_read(platform::FileHandle handle, uint32_t offset, uint32_t size) = 0;
    // A queued read cannot be withdrawn: callers follow with wait_for_completion.
    virtual void cancel_read() = 0;
    virtual bool is_complete() = 0;
    // True when the read moved every byte asked for.
    virtual bool wait_for_completion() = 0;
};

class AsyncFileReader final : public AsyncReader {
public:
    explicit AsyncFileReader(void* buffer = nullptr);

    void start_read(platform::FileHandle handle, uint32_t offset, uint32_t size) override;
    void cancel_read() override;
    bool is_complete() override;
    bool wait_for_completion() override;

    void set_buffer(void* buffer) { buffer_ = buffer; }
    void* get_buffer() const { return buffer_; }
    // A word kept for the owner; the reader itself never reads it.
    uint32_t get_user_word() const { return user_word_; }
    void set_user_word(uint32_t value) { user_word_ = value; }

private:
    void* buffer_;
    uint32_t user_word_ = 0;
    Request request_;
};

}  // namespace zolt::io
