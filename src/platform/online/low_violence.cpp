#include "platform/online/low_violence.h"

namespace zolt::platform {
namespace {
std::optional<bool> low_violence_setting;
}  // namespace

std::optional<bool> query_low_violence_setting() {
    return low_violence_setting;
}

void set_low_violence_setting(std::optional<bool> setting) {
    low_violence_setting = setting;
}

}  // namespace zolt::platform
