#pragma once
// The user's documents folder: XDG_DOCUMENTS_DIR, else $HOME/Documents.
#include <string>

namespace zolt::platform {

std::string get_documents_folder();

}  // namespace zolt::platform
