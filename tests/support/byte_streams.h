#pragma once
// Save and load streams over bytes in memory, for tests that build or damage
// saved records by hand. A load stream ends where its bytes end, so a record
// cut short shows as the readers would meet it.
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "zolt/storage/load_stream.h"
#include "zolt/storage/save_stream.h"

namespace zolt::test {

class ByteLoadStream : public storage::LoadStream {
public:
    explicit ByteLoadStream(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {
        set_buffer(bytes_.data(), static_cast<uint32_t>(bytes_.size()));
    }
    bool open(uint32_t) override { return true; }

private:
    std::vector<uint8_t> bytes_;
};

// Most saved records are whole words, so crafted ones are easiest written so.
class WordLoadStream final : public ByteLoadStream {
public:
    explicit WordLoadStream(const std::vector<uint32_t>& words) : ByteLoadStream(bytes_of(words)) {}

private:
    static std::vector<uint8_t> bytes_of(const std::vector<uint32_t>& words) {
        std::vector<uint8_t> bytes(words.size() * 4);
        if (!bytes.empty()) {
            std::memcpy(bytes.data(), words.data(), bytes.size());
        }
        return bytes;
    }
};

// Keeps everything written, however much.
class ByteSaveStream final : public storage::SaveStream {
public:
    ByteSaveStream() { set_buffer(buffer_, sizeof buffer_); }
    bool open(uint32_t) override { return true; }
    bool finish() override { return true; }

    std::vector<uint8_t> get_bytes() const {
        std::vector<uint8_t> bytes = flushed_;
        bytes.insert(bytes.end(), buffer_, buffer_ + get_used_size());
        return bytes;
    }
    std::vector<uint32_t> get_words() const {
        const std::vector<uint8_t> bytes = get_bytes();
        std::vector<uint32_t> words(bytes.size() / 4);
        if (!words.empty()) {
            std::memcpy(words.data(), bytes.data(), words.size() * 4);
        }
        return words;
    }

protected:
    void flush_buffer(uint8_t*& buffer, uint32_t& buffer_size, uint32_t used) override {
        flushed_.insert(flushed_.end(), buffer_, buffer_ + used);
        buffer = buffer_;
        buffer_size = sizeof buffer_;
    }

private:
    uint8_t buffer_[4096];
    std::vector<uint8_t> flushed_;
};

}  // namespace zolt::test
