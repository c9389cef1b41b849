#pragma once
// What goes into a pack, from a manifest or a folder.
//
// A manifest has one setting or resource a line; '#' starts a comment and
// numbers are decimal or 0x-prefixed hexadecimal:
//   key <number>                       the pack key (default 0)
//   <id> <file> [options]              a resource; file relative to the manifest
// with the options
//   align=<n>      memory aligned to 1 << n bytes, n 0 to 15
//   pool=<n>       pool type 0 to 3
//   deferred       pool type 1: loaded only while a resource object has it open
//   second-pool    pool type 3
//   not-reopened   not reopened when a saved game is loaded
//   stored         never packed
// The id carries the language number in bits 24-27 (0xF: the current one).
//
// In a folder every file is a resource with flags 0, named by its id in
// eight hexadecimal digits, optionally followed by a dot and anything.
#include <string>

#include "pack_writer.h"

namespace zolt::tools {

bool read_pack_manifest(const std::string& path, PackDescription* description, std::string* error);
bool read_pack_folder(const std::string& path, PackDescription* description, std::string* error);

}  // namespace zolt::tools
