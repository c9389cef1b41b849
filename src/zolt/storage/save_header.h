#pragma once
// The eleven words at the start of every save stream, file or memory slot:
//   "ZOLT", 0x12345678, "SAVE", format 7, "QRVN", engine version 0x10200000,
//   code constants version 0x4ABA5CE5, the CRC of the loaded code, 16382,
//   the id of the save, the time of writing in ticks.
// A save is loaded only when the first nine words are those of this running
// game. Main thread only.
#include <cstdint>

#include "zolt/storage/load_stream.h"
#include "zolt/storage/save_stream.h"

namespace zolt::storage {

constexpr uint32_t save_header_word_count = 11;
constexpr uint32_t save_header_size = save_header_word_count * 4;

// The first nine words as this game writes them, with its code CRC.
void make_save_header(uint32_t code_crc, uint32_t save_id, uint32_t time, uint32_t (&words)[save_header_word_count]);
void write_save_header(SaveStream& stream, uint32_t code_crc, uint32_t save_id, uint32_t time);
// Reads the header; null when it is this game's, else what differs, for
// the message that refuses the save.
const char* check_save_header(LoadStream& stream, uint32_t code_crc);

}  // namespace zolt::storage
