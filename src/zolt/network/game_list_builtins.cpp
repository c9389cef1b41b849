#include "zolt/builtins/builtin_binding.h"
#include "zolt/core/script_objects/string_object.h"
#include "zolt/core/script_objects/string_server.h"
#include "zolt/network/game_builtins.h"
#include "zolt/network/game_list.h"
#include "zolt/network/game_search.h"
#include "zolt/network/network_game.h"
#include "zolt/network/network_services.h"

namespace zolt::network {

namespace {

using core::StringHandle;

core::String* find_string(StringHandle handle) {
    if (core::get_handle_server_type(handle) != core::server_type::string || !core::string_server.is_registered()) {
        return nullptr;
    }
    return core::string_server.get_typed_object(handle);
}

bool append_text(StringHandle handle, const char* text) {
    core::String* const string = find_string(handle);
    return string != nullptr &&
           string->append_utf8(reinterpret_cast<const uint8_t*>(text), static_cast<uint32_t>(__builtin_strlen(text)));
}

uint32_t get_count() {
    return get_game_list_count();
}

bool append_name(StringHandle handle, uint32_t index) {
    const GameListing* const listing = get_game_listing(index);
    return listing != nullptr && append_text(handle, listing->name);
}

bool append_map(StringHandle handle, uint32_t index) {
    const GameListing* const listing = get_game_listing(index);
    return listing != nullptr && append_text(handle, listing->map);
}

// Reads one field of an entry; 0 past the count.
template <uint32_t GameListing::*field>
uint32_t get_field(uint32_t index) {
    const GameListing* const listing = get_game_listing(index);
    return listing != nullptr ? listing->*field : 0;
}

uint32_t get_type(uint32_t index) {
    const GameListing* const listing = get_game_listing(index);
    return listing != nullptr ? static_cast<uint32_t>(listing->game_type) : 0;
}

template <uint32_t byte>
uint32_t get_reserved_byte(uint32_t index) {
    const GameListing* const listing = get_game_listing(index);
    return listing != nullptr ? listing->reserved_bytes[byte] : 0;
}

bool join(uint32_t index) {
    return join_listed_game(index);
}

void clear() {
    clear_game_list();
}

int32_t get_request_user() {
    const ConnectRequest& request = get_connect_request();
    return request.pending ? request.user_code : -1;
}

void cancel_request() {
    core::cancel_connect_request();
}

bool start_request() {
    return start_connect_request();
}

bool poll_request() {
    return poll_connect_request();
}

bool start_search(core::AnyHandle settings) {
    return start_game_search(settings);
}

void stop_search() {
    stop_game_search();
}

}  // namespace

void bind_game_list_builtins(core::BuiltinTable& table) {
    using core::bind_builtin;
    using core::BuiltinId;
    bind_builtin<BuiltinId::get_game_list_count, &get_count>(table);
    bind_builtin<BuiltinId::append_game_list_name, &append_name>(table);
    bind_builtin<BuiltinId::append_game_list_map, &append_map>(table);
    bind_builtin<BuiltinId::get_game_list_reserved_value, &get_field<&GameListing::reserved_value>>(table);
    bind_builtin<BuiltinId::get_game_list_type, &get_type>(table);
    bind_builtin<BuiltinId::get_game_list_reserved_byte_0, &get_reserved_byte<0>>(table);
    bind_builtin<BuiltinId::get_game_list_reserved_byte_1, &get_reserved_byte<1>>(table);
    bind_builtin<BuiltinId::get_game_list_player_count, &get_field<&GameListing::player_count>>(table);
    bind_builtin<BuiltinId::get_game_list_private_player_count, &get_field<&GameListing::private_player_count>>(
        table);
    bind_builtin<BuiltinId::get_game_list_player_limit, &get_field<&GameListing::player_limit>>(table);
    bind_builtin<BuiltinId::get_game_list_private_limit, &get_field<&GameListing::private_limit>>(table);
    bind_builtin<BuiltinId::join_listed_game, &join>(table);
    bind_builtin<BuiltinId::clear_game_list, &clear>(table);
    bind_builtin<BuiltinId::get_connect_request_user, &get_request_user>(table);
    bind_builtin<BuiltinId::cancel_connect_request, &cancel_request>(table);
    bind_builtin<BuiltinId::start_connect_request, &start_request>(table);
    bind_builtin<BuiltinId::poll_connect_request, &poll_request>(table);
    bind_builtin<BuiltinId::start_game_search, &start_search>(table);
    bind_builtin<BuiltinId::stop_game_search, &stop_search>(table);
    bind_builtin<BuiltinId::is_browsing, &is_browsing>(table);
}

}  // namespace zolt::network
