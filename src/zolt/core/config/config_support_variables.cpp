#include "zolt/core/config/config_support_variables.h"

#include "libs/utility/config_variable_row.h"

namespace zolt {

const char* pack_list = "pack.list";
float mouse_sensitivity_x = 1.0f;
float mouse_sensitivity_y = 1.0f;
float mouse_acceleration_threshold = 100.0f;
float mouse_acceleration_factor = 2.0f;
const char* config = nullptr;
bool simulate_missing_profile = false;
const char* save_path = ".";

namespace {

// Stored only.
const char* output_config = nullptr;
const char* database_version = nullptr;

// Read by the scripts only; the per-player settings of the profile.
bool show_subtitles = true;
float music_volume = 0.8f;
float speech_volume = 0.8f;
float effects_volume = 0.8f;
float cinematics_volume = 0.8f;
bool show_tutorial = true;
bool auto_pickup_weapons = true;
bool tdm_friendly_fire = false;
bool ctf_friendly_fire = false;
bool conquest_friendly_fire = false;
uint32_t dm_time_limit = 0;
uint32_t tdm_time_limit = 0;
uint32_t ctf_time_limit = 0;
uint32_t conquest_time_limit = 600;
uint32_t dm_frag_limit = 10;
uint32_t tdm_score_limit = 50;
uint32_t ctf_score_limit = 3;
uint32_t conquest_score_limit = 0;
uint32_t dm_levels = 0;
uint32_t tdm_levels = 0;
uint32_t ctf_levels = 0;
uint32_t conquest_levels = 0;
uint32_t dm_player_limit = 8;
uint32_t tdm_player_limit = 8;
uint32_t ctf_player_limit = 8;
uint32_t conquest_player_limit = 8;
uint32_t team_color = 2;
uint32_t net_avatar = 0;
float sensitivity = 1.0f;
bool invert_look = false;

using BoolRow = ConfigVariableRow<bool>;
using UnsignedRow = ConfigVariableRow<uint32_t>;
using FloatRow = ConfigVariableRow<float>;
using StringRow = ConfigVariableRow<const char*>;

constexpr uint32_t profile = config_profile_variable;

const StringRow output_config_row(8, "output_config", &output_config, nullptr, config_never_written);
const BoolRow show_subtitles_row(9, "show_subtitles", &show_subtitles, true, false, true, profile);
const FloatRow music_volume_row(10, "music_volume", &music_volume, 0.8f, 0.0f, 1.0f, profile);
const FloatRow speech_volume_row(11, "speech_volume", &speech_volume, 0.8f, 0.0f, 1.0f, profile);
const FloatRow effects_volume_row(12, "effects_volume", &effects_volume, 0.8f, 0.0f, 1.0f, profile);
const FloatRow cinematics_volume_row(13, "cinematics_volume", &cinematics_volume, 0.8f, 0.0f, 1.0f, profile);
const BoolRow show_tutorial_row(14, "show_tutorial", &show_tutorial, true, false, true, profile);
const BoolRow auto_pickup_weapons_row(15, "auto_pickup_weapons", &auto_pickup_weapons, true, false, true, profile);
const BoolRow tdm_friendly_fire_row(16, "tdm_friendly_fire", &tdm_friendly_fire, false, false, true, profile);
const BoolRow ctf_friendly_fire_row(17, "ctf_friendly_fire", &ctf_friendly_fire, false, false, true, profile);
const BoolRow conquest_friendly_fire_row(18, "conquest_friendly_fire", &conquest_friendly_fire, false, false, true,
                                         profile);
const UnsignedRow dm_time_limit_row(19, "dm_time_limit", &dm_time_limit, 0, 0, 3600, profile);
const UnsignedRow tdm_time_limit_row(20, "tdm_time_limit", &tdm_time_limit, 0, 0, 3600, profile);
const UnsignedRow ctf_time_limit_row(21, "ctf_time_limit", &ctf_time_limit, 0, 0, 3600, profile);
const UnsignedRow conquest_time_limit_row(22, "conquest_time_limit", &conquest_time_limit, 600, 0, 3600, profile);
const UnsignedRow dm_frag_limit_row(23, "dm_frag_limit", &dm_frag_limit, 10, 0, 100, profile);
const UnsignedRow tdm_score_limit_row(24, "tdm_score_limit", &tdm_score_limit, 50, 0, 100, profile);
const UnsignedRow ctf_score_limit_row(25, "ctf_score_limit", &ctf_score_limit, 3, 0, 100, profile);
const UnsignedRow conquest_score_limit_row(26, "conquest_score_limit", &conquest_score_limit, 0, 0, 5000, profile);
const UnsignedRow dm_levels_row(27, "dm_levels", &dm_levels, 0, 0, 4294967295u, profile);
const UnsignedRow tdm_levels_row(28, "tdm_levels", &tdm_levels, 0, 0, 4294967295u, profile);
const UnsignedRow ctf_levels_row(29, "ctf_levels", &ctf_levels, 0, 0, 4294967295u, profile);
const UnsignedRow conquest_levels_row(30, "conquest_levels", &conquest_levels, 0, 0, 4294967295u, profile);
const UnsignedRow dm_player_limit_row(31, "dm_player_limit", &dm_player_limit, 8, 2, 8, profile);
const UnsignedRow tdm_player_limit_row(32, "tdm_player_limit", &tdm_player_limit, 8, 2, 8, profile);
const UnsignedRow ctf_player_limit_row(33, "ctf_player_limit", &ctf_player_limit, 8, 2, 8, profile);
const UnsignedRow conquest_player_limit_row(34, "conquest_player_limit", &conquest_player_limit, 8, 2, 8, profile);
const UnsignedRow team_color_row(35, "team_color", &team_color, 2, 0, 2, profile);
const UnsignedRow net_avatar_row(36, "net_avatar", &net_avatar, 0, 0, 15, profile);
const StringRow pack_list_row(38, "pack_list", &pack_list, "pack.list", config_never_written);
const FloatRow mouse_sensitivity_x_row(40, "mouse_sensitivity_x", &mouse_sensitivity_x, 1.0f, 0.0f, 100.0f,
                                       config_written_when_changed);
const FloatRow mouse_sensitivity_y_row(41, "mouse_sensitivity_y", &mouse_sensitivity_y, 1.0f, 0.0f, 100.0f,
                                       config_written_when_changed);
const FloatRow mouse_acceleration_threshold_row(42, "mouse_acceleration_threshold", &mouse_acceleration_threshold,
                                                100.0f, 0.0f, 10000.0f, config_written_when_changed);
const FloatRow mouse_acceleration_factor_row(43, "mouse_acceleration_factor", &mouse_acceleration_factor, 2.0f, 1.0f,
                                             10.0f, config_written_when_changed);
const FloatRow sensitivity_row(44, "sensitivity", &sensitivity, 1.0f, 0.0f, 10.0f, profile);
const BoolRow invert_look_row(45, "invert_look", &invert_look, false, false, true, profile);
const StringRow config_row(47, "config", &config, nullptr, config_never_written);
const StringRow database_version_row(48, "database_version", &database_version, nullptr, config_written_when_changed);
const BoolRow simulate_missing_profile_row(124, "simulate_missing_profile", &simulate_missing_profile, false, false,
                                           true, config_written_when_changed);
const StringRow save_path_row(125, "save_path", &save_path, ".", config_written_when_changed);

}  // namespace
}  // namespace zolt
