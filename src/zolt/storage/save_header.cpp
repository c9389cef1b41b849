#include "zolt/storage/save_header.h"

namespace zolt::storage {

namespace {

constexpr uint32_t checked_word_count = 9;

const char* const mismatch_reasons[checked_word_count] = {
    "not a save of this game",          "not a save of this game",
    "not a save of this game",          "another save format",
    "not a save of this game",          "written by another engine version",
    "another script constants version", "written with other script code",
    "not a save of this game",
};

}  // namespace

void make_save_header(uint32_t code_crc, uint32_t save_id, uint32_t time, uint32_t (&words)[save_header_word_count]) {
    words[0] = 0x544C4F5A;  // "ZOLT"
    words[1] = 0x12345678;
    words[2] = 0x45564153;  // "SAVE"
    words[3] = 7;
    words[4] = 0x4E565251;  // "QRVN"
    words[5] = 0x10200000;
    words[6] = 0x4ABA5CE5;
    words[7] = code_crc;
    words[8] = 16382;
    words[9] = save_id;
    words[10] = time;
}

void write_save_header(SaveStream& stream, uint32_t code_crc, uint32_t save_id, uint32_t time) {
    uint32_t words[save_header_word_count];
    make_save_header(code_crc, save_id, time, words);
    for (const uint32_t word : words) {
        stream.write_u32(word);
    }
}

const char* check_save_header(LoadStream& stream, uint32_t code_crc) {
    if (!stream.can_read(save_header_size)) {
        return "too short for a save";
    }
    uint32_t expected[save_header_word_count];
    make_save_header(code_crc, 0, 0, expected);
    const char* reason = nullptr;
    for (uint32_t index = 0; index < save_header_word_count; ++index) {
        const uint32_t word = stream.read_u32();
        if (index < checked_word_count && word != expected[index] && reason == nullptr) {
            reason = mismatch_reasons[index];
        }
    }
    return reason;
}

}  // namespace zolt::storage
