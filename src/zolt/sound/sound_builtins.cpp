#include "zolt/sound/sound_builtins.h"

#include "zolt/builtins/builtin_binding.h"
#include "zolt/sound/resources/sound_bank_server.h"
#include "zolt/sound/sound_entity_server.h"
#include "zolt/sound/sound_listener.h"
#include "zolt/sound/sound_manager.h"

namespace zolt::sound {
namespace {

void play_entity(SoundEntityHandle entity) {
    play_sound(entity);
}

void stop_entity(SoundEntityHandle entity, bool immediately) {
    stop_sound(entity, immediately);
}

}  // namespace

void set_default_bank_a(uint32_t bank) {
    sound_bank_server.default_bank_a = bank;
}

uint32_t get_default_bank_a() {
    return sound_bank_server.default_bank_a;
}

void set_default_bank_b(uint32_t bank) {
    sound_bank_server.default_bank_b = bank;
}

uint32_t get_default_bank_b() {
    return sound_bank_server.default_bank_b;
}

void set_category_volume(uint32_t category, float volume) {
    if (category < sound_category_total) {
        // A value that is not a number counts as 0.
        get_sound_category(category).volume = volume > 0.0f ? (volume < 1.0f ? volume : 1.0f) : 0.0f;
    }
}

float get_category_volume(uint32_t category) {
    return category < sound_category_total ? get_sound_category(category).volume : 0.0f;
}

void set_category_paused(uint32_t category, bool paused) {
    if (category < sound_category_total) {
        get_sound_category(category).paused = paused;
    }
}

bool is_category_paused(uint32_t category) {
    return category >= sound_category_total || get_sound_category(category).paused;
}

void release_unused_sounds() {
    sound_entity_server.destroy_auto_release_entities();
    sound_bank_server.release_unused_banks();
}

SoundListenerHandle get_active_listener() {
    return {sound_listener_server.get_active_listener() != nullptr ? sound_listener_server.get_active_handle() : 0};
}

bool is_sound_environment_enabled() {
    return sound_environment_enabled;
}

void set_sound_environment_enabled(bool enabled) {
    // The output notices the change at its next update.
    sound_environment_enabled = enabled;
}

void bind_sound_builtins(core::BuiltinTable& table) {
    using core::bind_builtin;
    using core::BuiltinId;
    bind_builtin<BuiltinId::set_default_bank_a, &set_default_bank_a>(table);
    bind_builtin<BuiltinId::get_default_bank_a, &get_default_bank_a>(table);
    bind_builtin<BuiltinId::set_default_bank_b, &set_default_bank_b>(table);
    bind_builtin<BuiltinId::get_default_bank_b, &get_default_bank_b>(table);
    bind_builtin<BuiltinId::set_category_volume, &set_category_volume>(table);
    bind_builtin<BuiltinId::get_category_volume, &get_category_volume>(table);
    bind_builtin<BuiltinId::set_category_paused, &set_category_paused>(table);
    bind_builtin<BuiltinId::is_category_paused, &is_category_paused>(table);
    bind_builtin<BuiltinId::release_unused_sounds, &release_unused_sounds>(table);
    bind_builtin<BuiltinId::play_sound, &play_entity>(table);
    bind_builtin<BuiltinId::stop_sound, &stop_entity>(table);
    bind_builtin<BuiltinId::get_active_listener, &get_active_listener>(table);
    bind_builtin<BuiltinId::is_sound_environment_enabled, &is_sound_environment_enabled>(table);
    bind_builtin<BuiltinId::set_sound_environment_enabled, &set_sound_environment_enabled>(table);
}

}  // namespace zolt::sound
