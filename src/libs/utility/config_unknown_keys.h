#pragma once
// The settings of the configuration file that neither a variable nor a hook
// took, kept as text so that writing the file back does not lose them. A
// later setting of the same key (letter case aside) replaces the earlier one.
// Main thread only.
#include <cstdint>

namespace zolt {

class ConfigUnknownKeys {
public:
    // The keys of one file always fit: the file itself is smaller.
    static constexpr uint32_t capacity = 65536;

    // A key that no longer fits is dropped with a warning.
    void set(const char* name, const char* value);
    // The value of the key, or null.
    const char* find(const char* name) const;
    uint32_t get_count() const;
    void clear() { used_ = 0; }

    // Visits every key in the order it was first set, as (name, value).
    template <typename Visit>
    void for_each(Visit&& visit) const {
        for (uint32_t offset = 0; offset < used_;) {
            const char* name = storage_ + offset;
            const char* value = skip_text(name);
            visit(name, value);
            offset = static_cast<uint32_t>(skip_text(value) - storage_);
        }
    }

private:
    static const char* skip_text(const char* text);
    // Offset of the key's name, or used_ when it is not kept.
    uint32_t find_offset(const char* name) const;

    // Each key is its name and its value, both NUL-terminated.
    char storage_[capacity];
    uint32_t used_ = 0;
};

}  // namespace zolt
