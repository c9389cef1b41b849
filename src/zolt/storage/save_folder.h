#pragma once
// The save folder as a full path: a relative save_path lies in the game's
// folder under the documents folder; "." and ".." parts are resolved and a
// trailing separator dropped (the root keeps it). Any thread may call.
#include <cstdint>

namespace zolt::storage {

enum class SaveFolderProblem : uint32_t { none, invalid, too_long };

// Writes the full path into folder (capacity bytes with the NUL).
SaveFolderProblem make_full_save_folder(const char* configured, const char* base, char* folder, uint32_t capacity);

}  // namespace zolt::storage
