#include "zolt/renderer/texture/texture_config.h"

#include "libs/utility/config_variable_row.h"

namespace zolt::renderer {

uint32_t anisotropic_filtering_mode = 1;
uint32_t lightmap_anisotropic_filtering_mode = 1;
float anisotropy_amount = 4.0f;
int32_t video_memory_limit = -220;
uint32_t shadowmaps_enabled = 2;
int32_t shadowmap_count = 4;

namespace {

using UnsignedRow = ConfigVariableRow<uint32_t>;
using SignedRow = ConfigVariableRow<int32_t>;
using FloatRow = ConfigVariableRow<float>;

const UnsignedRow anisotropic_filtering_mode_row(106, "anisotropic_filtering_mode", &anisotropic_filtering_mode, 1, 0,
                                                 2, config_written_when_changed);
const UnsignedRow lightmap_anisotropic_filtering_mode_row(107, "lightmap_anisotropic_filtering_mode",
                                                          &lightmap_anisotropic_filtering_mode, 1, 0, 2,
                                                          config_written_when_changed);
const FloatRow anisotropy_amount_row(108, "anisotropy_amount", &anisotropy_amount, 4.0f, 1.0f, 64.0f,
                                     config_written_when_changed);
const SignedRow video_memory_limit_row(109, "video_memory_limit", &video_memory_limit, -220, -10000, 10000,
                                       config_written_when_changed);
const UnsignedRow shadowmaps_enabled_row(110, "shadowmaps_enabled", &shadowmaps_enabled, 2, 0, 2,
                                         config_written_when_changed);
const SignedRow shadowmap_count_row(111, "shadowmap_count", &shadowmap_count, 4, 0, 20, config_written_when_changed);

}  // namespace

}  // namespace zolt::renderer
