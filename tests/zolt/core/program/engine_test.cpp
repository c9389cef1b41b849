#include "zolt/core/program/engine.h"

#include <gtest/gtest.h>
#include <string>

#include "support/child_process.h"
#include "support/game_folder.h"
#include "zolt/core/object_server/server_base.h"
#include "zolt/core/object_server/test_servers.h"

namespace zolt::core {
namespace {

// Says when it is unregistered, so the order of engine stop shows.
class RecordingServer final : public ServerBase {
public:
    RecordingServer(uint32_t type, const char* name) : ServerBase(type), name_(name) {}
    const char* get_name() const override { return name_; }
    uint32_t get_capacity() const override { return 0; }
    ServerObject* get_object_address(ObjectHandle) override { return nullptr; }
    ServerObject* get_object_internal(ObjectHandle) override { return nullptr; }
    ServerObject* get_object_resolved(ObjectHandle) override { return nullptr; }
    void unregister_server() override {
        std::fprintf(stderr, "unregister %s\n", name_);
        ServerBase::unregister_server();
    }

private:
    const char* name_;
};

TEST(Engine, StopUnregistersServersLastRegisteredFirst) {
    const test::ChildResult result = test::run_in_child([] {
        test::enter_game_folder();
        static RecordingServer early(57, "early");
        early.register_server();
        start_engine();
        static RecordingServer late(53, "late");
        late.register_server();
        std::fprintf(stderr, "ring");
        for (ServerBase* server = get_first_server(); server != nullptr;) {
            std::fprintf(stderr, " %s", server->get_name());
            server = server->get_next_server() != get_first_server() ? server->get_next_server() : nullptr;
        }
        std::fprintf(stderr, "\n");
        stop_engine();
        std::fprintf(stderr, "ring empty %d\n", get_first_server() == nullptr ? 1 : 0);
    });
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_NE(
        result.standard_error.find(
            "ring early RandomGeneratorServer StringServer AliasServer ResourceServer EventServer DictionaryServer "
            "StorageServer ArrayServer ListenerServer CodeServer PlacementServer PhysXServer PhysXActorServer "
            "MotionServer FunctionTableServer ViewportServer TextureServer MaterialServer DisplayServer "
            "CameraServer MeshServer LoadableAreaServer SectorServer LightServer LightInstanceServer PortalServer VisualServer ParticleGeneratorServer DecalServer DebugDrawServer AnimatorServer "
            "TrackMixerServer SkeletonServer MessageServer "
            "StateMachineServer ProxyServer GameServer TaskServer SemaphoreServer "
            "WaveBankServer SoundBankServer SoundListenerServer SoundEntityServer late\n"),
        std::string::npos)
        << result.standard_error;
    const size_t late = result.standard_error.find("unregister late");
    const size_t early = result.standard_error.find("unregister early");
    EXPECT_NE(late, std::string::npos);
    EXPECT_LT(late, early);
    EXPECT_NE(result.standard_error.find("ring empty 1"), std::string::npos);
}

}  // namespace
}  // namespace zolt::core
