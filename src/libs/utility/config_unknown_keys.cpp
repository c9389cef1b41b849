#include "libs/utility/config_unknown_keys.h"

#include <cstring>

#include "libs/utility/message_handler.h"
#include "libs/utility/text_conversion.h"

namespace zolt {

const char* ConfigUnknownKeys::skip_text(const char* text) {
    return text + std::strlen(text) + 1;
}

uint32_t ConfigUnknownKeys::find_offset(const char* name) const {
    uint32_t offset = 0;
    while (offset < used_) {
        const char* key = storage_ + offset;
        if (equals_ignoring_case(key, name)) {
            break;
        }
        offset = static_cast<uint32_t>(skip_text(skip_text(key)) - storage_);
    }
    return offset;
}

void ConfigUnknownKeys::set(const char* name, const char* value) {
    const uint32_t offset = find_offset(name);
    if (offset < used_) {
        const auto end = static_cast<uint32_t>(skip_text(skip_text(storage_ + offset)) - storage_);
        std::memmove(storage_ + offset, storage_ + end, used_ - end);
        used_ -= end - offset;
    }
    const size_t name_size = std::strlen(name) + 1;
    const size_t value_size = std::strlen(value) + 1;
    if (name_size + value_size > capacity - used_) {
        report_message(MessageKind::Warning, nullptr, nullptr, 0, "no room to keep the unknown configuration key %.64s",
                       name);
        return;
    }
    std::memcpy(storage_ + used_, name, name_size);
    std::memcpy(storage_ + used_ + name_size, value, value_size);
    used_ += static_cast<uint32_t>(name_size + value_size);
}

const char* ConfigUnknownKeys::find(const char* name) const {
    const uint32_t offset = find_offset(name);
    return offset < used_ ? skip_text(storage_ + offset) : nullptr;
}

uint32_t ConfigUnknownKeys::get_count() const {
    uint32_t count = 0;
    for_each([&count](const char*, const char*) { ++count; });
    return count;
}

}  // namespace zolt
