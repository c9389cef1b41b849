#include "platform/online/online_client.h"

namespace zolt::platform {
namespace {

// Without online services every question is answered "not available".
class OfflineOnlineClient final : public OnlineClient {
public:
    bool is_available() const override { return false; }
    OnlineId get_user_id() const override { return 0; }
    const char* get_persona_name() const override { return ""; }
    PeerNetworking* get_client_networking() override { return nullptr; }
    PeerNetworking* get_game_server_networking() override { return nullptr; }
    OnlineId get_game_server_id() const override { return 0; }
    void run_callbacks() override {}
    void set_callback_handler(OnlineCallbackHandler, void*) override {}
};

OfflineOnlineClient offline_client;
OnlineClient* installed_client = nullptr;

}  // namespace

OnlineClient& get_online_client() {
    return installed_client != nullptr ? *installed_client : offline_client;
}

void set_online_client(OnlineClient* client) {
    installed_client = client;
}

}  // namespace zolt::platform
