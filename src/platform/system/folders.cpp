#include "platform/system/folders.h"

#include <pwd.h>
#include <unistd.h>
#include <cstdlib>

namespace zolt::platform {

std::string get_documents_folder() {
    if (const char* documents = std::getenv("XDG_DOCUMENTS_DIR"); documents != nullptr && documents[0] == '/') {
        return documents;
    }
    std::string home;
    if (const char* variable = std::getenv("HOME"); variable != nullptr && variable[0] != '\0') {
        home = variable;
    } else if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_dir != nullptr) {
        home = entry->pw_dir;
    } else {
        home = "/tmp";
    }
    return home + "/Documents";
}

}  // namespace zolt::platform
