#include "zolt/core/resources/language.h"

#include "libs/utility/config_variable_row.h"

namespace zolt {

uint32_t current_language = 1;
uint32_t default_language = 1;
const ConfigVariableRow<uint32_t> default_language_row(37, "default_language", &default_language, 1, 1, 13,
                                                       config_always_written);

}  // namespace zolt
