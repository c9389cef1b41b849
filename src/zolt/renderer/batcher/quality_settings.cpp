#include "zolt/renderer/batcher/quality_settings.h"

#include "libs/utility/config_variable_row.h"

namespace zolt::renderer {

uint32_t texture_quality = 1;
uint32_t texture_filtering = 2;
uint32_t light_quality = 2;
uint32_t shadow_quality = 0;

namespace {

using UnsignedRow = ConfigVariableRow<uint32_t>;

const UnsignedRow texture_quality_row(113, "texture_quality", &texture_quality, 1, 0, 2, config_profile_variable);
const UnsignedRow texture_filtering_row(114, "texture_filtering", &texture_filtering, 2, 0, 4, config_profile_variable);
const UnsignedRow light_quality_row(115, "light_quality", &light_quality, 2, 0, 2, config_profile_variable);
const UnsignedRow shadow_quality_row(116, "shadow_quality", &shadow_quality, 0, 0, 3, config_profile_variable);

}  // namespace

}  // namespace zolt::renderer
