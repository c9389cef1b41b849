#include "platform/online/online_client.h"
#include "zolt/builtins/builtin_binding.h"
#include "zolt/core/events/event_server.h"
#include "zolt/core/script_objects/string_object.h"
#include "zolt/core/script_objects/string_server.h"
#include "zolt/network/command_batch.h"
#include "zolt/network/game_builtins.h"
#include "zolt/network/network_clock.h"
#include "zolt/network/network_game.h"
#include "zolt/network/transport_formats.h"
#include "zolt/network/user_messages.h"

namespace zolt::network {

namespace {

using core::AnyHandle;
using core::StringHandle;

core::String* find_string(StringHandle handle) {
    if (core::get_handle_server_type(handle) != core::server_type::string || !core::string_server.is_registered()) {
        return nullptr;
    }
    return core::string_server.get_typed_object(handle);
}

uint32_t get_state() {
    return static_cast<uint32_t>(get_network_game().state);
}

uint32_t get_state_time() {
    return get_network_game().state_time;
}

uint32_t get_ticks_since_state_change() {
    const auto ticks = static_cast<int32_t>(read_network_ticks() - get_network_game().state_time);
    return ticks > 0 ? static_cast<uint32_t>(ticks) : 0;
}

bool is_state_older_than(uint32_t ticks) {
    return get_ticks_since_state_change() > ticks;
}

bool is_online_available() {
    return platform::get_online_client().is_available();
}

bool is_host() {
    return get_network_game().host;
}

bool is_local_only() {
    return get_network_game().local_only;
}

bool append_default_game_name(StringHandle handle) {
    core::String* const string = find_string(handle);
    if (string == nullptr) {
        return false;
    }
    platform::OnlineClient& client = platform::get_online_client();
    if (!client.is_available()) {
        return string->append_c_string("<Steam not running>");
    }
    return string->append_c_string(client.get_persona_name()) && string->append_c_string("'s game");
}

bool host_game(AnyHandle settings) {
    return host_network_game(settings);
}

uint32_t get_host_error() {
    return static_cast<uint32_t>(get_network_game().host_error);
}

uint32_t get_join_error() {
    return static_cast<uint32_t>(get_network_game().join_error);
}

bool set_map_name(uint32_t, StringHandle handle) {
    const core::String* const string = find_string(handle);
    if (string == nullptr || get_network_game().local_only) {
        return false;
    }
    char utf8[core::string_utf8_buffer_size];
    string->to_utf8(utf8);
    set_hosted_map_name(utf8);
    return true;
}

bool set_score(uint32_t slot, int32_t score) {
    return set_player_score(slot, score);
}

int32_t get_player_score(uint32_t slot) {
    return slot < player_slot_count ? get_connection(slot).get_score() : 0;
}

bool append_player_name(uint32_t slot, StringHandle handle) {
    core::String* const string = find_string(handle);
    return string != nullptr && slot < player_slot_count &&
           string->append_utf8(reinterpret_cast<const uint8_t*>(get_connection(slot).get_persona_name()),
                               static_cast<uint32_t>(__builtin_strlen(get_connection(slot).get_persona_name())));
}

uint32_t get_own_slot() {
    return get_network_game().local_only ? 0 : get_network_game().own_slot;
}

bool append_own_player_name(StringHandle handle) {
    core::String* const string = find_string(handle);
    return string != nullptr && string->append_c_string(platform::get_online_client().get_persona_name());
}

uint32_t get_ticks_since_clock_reply() {
    const uint32_t now = read_network_ticks();
    return now - get_last_clock_sync_time(now);
}

bool set_player_value(uint32_t slot, uint32_t value) {
    if (slot >= player_slot_count) {
        return false;
    }
    get_connection(slot).set_player_value(value);
    return true;
}

uint32_t get_own_player_mask() {
    return get_network_game().own_player_mask;
}

uint32_t get_merged_player_mask() {
    return get_network_game().merged_mask_received;
}

void set_network_clock(uint32_t clock) {
    choose_network_clock(clock);
}

void leave_game() {
    leave_network_game(false);
}

void send_to_host(AnyHandle target, uint32_t message_type, uint32_t format, AnyHandle source, bool reliable) {
    send_message_to_host(target, message_type, format, source, reliable);
}

void send_to_players(uint32_t slot_mask, AnyHandle target, uint32_t message_type, uint32_t format, AnyHandle source,
                     bool reliable) {
    send_message_to_players(slot_mask, target, message_type, format, source, reliable);
}

void send_commands(AnyHandle target, AnyHandle first_record, bool reliable) {
    send_command_batch(target, first_record, reliable);
}

uint32_t get_game_server_id_low() {
    return static_cast<uint32_t>(platform::get_online_client().get_game_server_id());
}

uint32_t get_game_server_id_high() {
    return static_cast<uint32_t>(platform::get_online_client().get_game_server_id() >> 32);
}

platform::OnlineId get_player_id(uint32_t slot) {
    if (slot >= player_slot_count || !get_connection(slot).is_connected()) {
        return 0;
    }
    return get_connection(slot).get_player_id();
}

uint32_t get_player_id_low(uint32_t slot) {
    return static_cast<uint32_t>(get_player_id(slot));
}

uint32_t get_player_id_high(uint32_t slot) {
    return static_cast<uint32_t>(get_player_id(slot) >> 32);
}

bool is_valid_id(uint32_t low, uint32_t high) {
    return platform::is_valid_online_id(static_cast<platform::OnlineId>(high) << 32 | low);
}

void begin_format(uint32_t format, uint32_t implied_type) {
    transport_formats.begin_format(format, implied_type);
}

void add_format_pair(uint32_t property_id, uint32_t transport_format) {
    transport_formats.add_pair(property_id, transport_format);
}

void end_format() {
    transport_formats.end_format();
}

void release_format(uint32_t format) {
    transport_formats.release_format(format);
}

void clear_formats() {
    transport_formats.clear_formats();
}

void update_network() {
    update_network_game();
}

}  // namespace

void bind_network_game_builtins(core::BuiltinTable& table) {
    using core::bind_builtin;
    using core::BuiltinId;
    bind_builtin<BuiltinId::begin_transport_format, &begin_format>(table);
    bind_builtin<BuiltinId::add_transport_format_pair, &add_format_pair>(table);
    bind_builtin<BuiltinId::end_transport_format, &end_format>(table);
    bind_builtin<BuiltinId::release_transport_format, &release_format>(table);
    bind_builtin<BuiltinId::clear_transport_formats, &clear_formats>(table);
    bind_builtin<BuiltinId::is_steam_available, &is_online_available>(table);
    bind_builtin<BuiltinId::update_network, &update_network>(table);
    bind_builtin<BuiltinId::get_network_game_state, &get_state>(table);
    bind_builtin<BuiltinId::get_state_change_time, &get_state_time>(table);
    bind_builtin<BuiltinId::get_ticks_since_state_change, &get_ticks_since_state_change>(table);
    bind_builtin<BuiltinId::is_state_older_than, &is_state_older_than>(table);
    bind_builtin<BuiltinId::is_steam_available_twin, &is_online_available>(table);
    bind_builtin<BuiltinId::is_network_host, &is_host>(table);
    bind_builtin<BuiltinId::is_network_local_only, &is_local_only>(table);
    bind_builtin<BuiltinId::append_default_game_name, &append_default_game_name>(table);
    bind_builtin<BuiltinId::host_network_game, &host_game>(table);
    bind_builtin<BuiltinId::get_host_error, &get_host_error>(table);
    bind_builtin<BuiltinId::set_hosted_map_name, &set_map_name>(table);
    bind_builtin<BuiltinId::set_player_score, &set_score>(table);
    bind_builtin<BuiltinId::get_player_score, &get_player_score>(table);
    bind_builtin<BuiltinId::append_player_name, &append_player_name>(table);
    bind_builtin<BuiltinId::get_own_slot, &get_own_slot>(table);
    bind_builtin<BuiltinId::append_own_player_name, &append_own_player_name>(table);
    bind_builtin<BuiltinId::get_ticks_since_clock_reply, &get_ticks_since_clock_reply>(table);
    bind_builtin<BuiltinId::set_player_value, &set_player_value>(table);
    bind_builtin<BuiltinId::get_own_player_mask, &get_own_player_mask>(table);
    bind_builtin<BuiltinId::get_merged_player_mask, &get_merged_player_mask>(table);
    bind_builtin<BuiltinId::get_join_error, &get_join_error>(table);
    bind_builtin<BuiltinId::start_loading_network_game, &start_loading_network_game>(table);
    bind_builtin<BuiltinId::start_network_game, &start_network_game>(table);
    bind_builtin<BuiltinId::stop_network_game, &stop_network_game>(table);
    bind_builtin<BuiltinId::acknowledge_network_game_stop, &acknowledge_network_game_stop>(table);
    bind_builtin<BuiltinId::set_network_clock, &set_network_clock>(table);
    bind_builtin<BuiltinId::leave_network_game, &leave_game>(table);
    bind_builtin<BuiltinId::drop_player, &drop_player>(table);
    bind_builtin<BuiltinId::send_message_to_host, &send_to_host>(table);
    bind_builtin<BuiltinId::send_message_to_players, &send_to_players>(table);
    bind_builtin<BuiltinId::send_command_batch, &send_commands>(table);
    bind_builtin<BuiltinId::get_game_server_steam_id_low, &get_game_server_id_low>(table);
    bind_builtin<BuiltinId::get_game_server_steam_id_high, &get_game_server_id_high>(table);
    bind_builtin<BuiltinId::get_player_steam_id_low, &get_player_id_low>(table);
    bind_builtin<BuiltinId::get_player_steam_id_high, &get_player_id_high>(table);
    bind_builtin<BuiltinId::is_valid_steam_id, &is_valid_id>(table);
    bind_game_list_builtins(table);
}

}  // namespace zolt::network
