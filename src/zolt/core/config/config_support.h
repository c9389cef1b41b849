#pragma once
// The configuration file of the game program, named by the variable
// `config`: "config.txt" in the working folder when it was never given, none
// when it was given empty. Main thread only.

namespace zolt::core {

// The file's path, or null when there is none.
const char* get_config_file_path();
// Program main's step after the command line: a file that `config` names
// must exist; "config.txt" may be missing.
void load_startup_config_file();
// Writes the file back (builtin 145); false when there is no file or the
// write fails.
bool save_config_file();

}  // namespace zolt::core
