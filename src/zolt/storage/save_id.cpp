#include "zolt/storage/save_id.h"

#include <cctype>
#include <cstring>

#include "libs/utility/fatal_error.h"

namespace zolt::storage {

namespace {
constexpr char slot_letters[] = {'s', 'q', 'a'};

bool read_digits(const char* text, uint32_t count, uint32_t& value) {
    value = 0;
    for (uint32_t index = 0; index < count; ++index) {
        if (text[index] < '0' || text[index] > '9') {
            return false;
        }
        value = value * 10 + static_cast<uint32_t>(text[index] - '0');
    }
    return true;
}
}  // namespace

void create_save_file_name(StringBuffer& buffer, uint32_t save_id) {
    const uint32_t slot_type = get_save_slot_type(save_id);
    if (slot_type >= sizeof slot_letters) {
        ZOLT_PANIC("invalid save slot type 0x%08x", save_id);
    }
    buffer.append_format("%c%03u%05u.zsv", slot_letters[slot_type], get_save_number(save_id), get_save_index(save_id));
}

uint32_t parse_save_file_name(const char* name) {
    if (std::strlen(name) != save_file_name_length) {
        return 0;
    }
    const char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(name[0])));
    const char* const found = static_cast<const char*>(std::memchr(slot_letters, letter, sizeof slot_letters));
    uint32_t number = 0;
    uint32_t index = 0;
    if (found == nullptr || !read_digits(name + 1, 3, number) || !read_digits(name + 4, 5, index) || index == 0 ||
        index > 0xFFFF || number > 0xFF) {
        return 0;
    }
    const uint32_t save_id = static_cast<uint32_t>(found - slot_letters) << 24 | number << 16 | index;
    char made[save_file_name_length + 1];
    StringBuffer buffer(made, sizeof made);
    create_save_file_name(buffer, save_id);
    for (uint32_t at = 0; at < save_file_name_length; ++at) {
        if (std::tolower(static_cast<unsigned char>(name[at])) != made[at]) {
            return 0;
        }
    }
    return save_id;
}

}  // namespace zolt::storage
