#pragma once
// The sound builtins (665-678): default banks, categories, the release of
// unused sounds, play and stop, the active listener and the environment
// switch. A category above 3 is ignored by setters and gives the neutral
// answer of getters. Main thread only.
#include <cstdint>

#include "zolt/builtins/builtin_table.h"
#include "zolt/builtins/builtin_values.h"

namespace zolt::sound {

using SoundEntityHandle = core::BuiltinHandle<core::BuiltinKind::sound_entity_handle>;
using SoundListenerHandle = core::BuiltinHandle<core::BuiltinKind::sound_listener_handle>;

void bind_sound_builtins(core::BuiltinTable& table);

// 665-668
void set_default_bank_a(uint32_t bank);
uint32_t get_default_bank_a();
void set_default_bank_b(uint32_t bank);
uint32_t get_default_bank_b();
// 669: the volume clamped to 0 .. 1.
void set_category_volume(uint32_t category, float volume);
// 670: 0.0 for a category above 3.
float get_category_volume(uint32_t category);
// 671
void set_category_paused(uint32_t category, bool paused);
// 672: true for a category above 3.
bool is_category_paused(uint32_t category);
// 673: the auto-release sweep, then the unused sound banks go.
void release_unused_sounds();
// 676
SoundListenerHandle get_active_listener();
// 677, 678
bool is_sound_environment_enabled();
void set_sound_environment_enabled(bool enabled);

}  // namespace zolt::sound
