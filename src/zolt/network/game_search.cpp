#include "zolt/network/game_search.h"

#include "platform/online/online_client.h"
#include "zolt/core/object_server/server_base.h"
#include "zolt/network/game_list.h"
#include "zolt/network/network_game.h"
#include "zolt/network/network_services.h"

namespace zolt::network {

namespace {

bool browsing = false;

uint32_t read_mode(core::ObjectHandle settings) {
    core::Property property;
    const core::ServerObject* const object = core::resolve_handle(settings);
    return object != nullptr && object->get_property(network_game_property::mode, property) ? property.get_u32() : 0;
}

}  // namespace

bool start_game_search(core::ObjectHandle settings) {
    const ConnectRequest& request = get_connect_request();
    if (browsing || (request.started && !request.done) || core::resolve_handle(settings) == nullptr) {
        return false;
    }
    if (read_mode(settings) != 0) {
        return false;
    }
    platform::OnlineClient& client = platform::get_online_client();
    if (!client.request_lan_server_list(client.get_app_id())) {
        return false;
    }
    browsing = true;
    return true;
}

bool is_browsing() {
    return browsing;
}

void update_game_search() {
    if (!browsing) {
        return;
    }
    platform::OnlineClient& client = platform::get_online_client();
    const uint32_t app_id = client.get_app_id();
    for (;;) {
        platform::ServerItem item;
        switch (client.poll_lan_server_list(&item)) {
        case platform::LanSearchAnswer::responded: {
            GameListing listing;
            if (item.app_id == app_id && make_server_listing(item, &listing)) {
                add_game_listing(listing);
            }
            continue;
        }
        case platform::LanSearchAnswer::waiting:
            return;
        default:
            browsing = false;
            post_network_game_event(NetworkGameEvent::game_search_ended);
            return;
        }
    }
}

void stop_game_search() {
    if (browsing) {
        platform::get_online_client().cancel_lan_server_list();
        browsing = false;
    }
    stop_connect_request_query();
}

}  // namespace zolt::network
