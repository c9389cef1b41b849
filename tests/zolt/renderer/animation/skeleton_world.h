#pragma once
// A world for the skeleton, animator and track mixer objects: the chain
// skeleton, the walk animation and a few more resources in a pack of key 0
// beside optional script code, and the servers registered in the engine's
// order (messages last, so events can be read back). Everything goes when
// the test ends.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "animation_fixtures.h"
#include "support/server_ring.h"
#include "zolt/core/events/event_server.h"
#include "zolt/core/events/listener_server.h"
#include "zolt/core/events/message.h"
#include "zolt/core/events/message_server.h"
#include "zolt/core/placement/placement_server.h"
#include "zolt/core/script/code_test_support.h"
#include "zolt/core/script_objects/dictionary_server.h"
#include "zolt/renderer/animation/animator_server.h"
#include "zolt/renderer/animation/skeleton_server.h"
#include "zolt/renderer/animation/track_mixer_server.h"

namespace zolt::animation::test {

// The root bone stands still at (1, 0, 0); nothing else is animated.
constexpr uint32_t lean_animation_id = 0x5A200002;
// Scalars for a slot mixer: key 1 (unused), keys 11 and 12 the weights of
// slots 0 and 1: constant 0.25 and 2 (clamped to 1).
constexpr uint32_t slot_weight_animation_id = 0x5A200003;
// Channels 1 and 2 at weights 0.5 and 1; the root is left out.
constexpr uint32_t upper_body_weights_id = 0x5A300001;
// A record for a skeleton of four channels.
constexpr uint32_t wrong_size_weights_id = 0x5A300002;

inline std::vector<uint8_t> build_lean_animation() {
    AnimationDescription lean;
    lean.duration = 1000;
    lean.frame_count = 1;
    lean.channels = {{10, true, {{1, 0, 0}}, {geometry::identity_quaternion()}, {}}};
    std::vector<uint8_t> bytes;
    std::string error;
    EXPECT_TRUE(build_animation_resource(lean, &bytes, &error)) << error;
    return bytes;
}

inline std::vector<uint8_t> build_slot_weight_animation() {
    AnimationDescription weights;
    weights.duration = 1000;
    weights.frame_count = 1;
    weights.channels = {{1, false, {}, {}, {0.0f}}, {11, false, {}, {}, {0.25f}}, {12, false, {}, {}, {2.0f}}};
    std::vector<uint8_t> bytes;
    std::string error;
    EXPECT_TRUE(build_animation_resource(weights, &bytes, &error)) << error;
    return bytes;
}

inline std::vector<uint8_t> build_channel_weights(uint32_t channel_count, uint32_t first,
                                                  const std::vector<float>& weights) {
    std::vector<uint8_t> bytes(12 + 4 * weights.size());
    const uint32_t header[3] = {channel_count, first, static_cast<uint32_t>(weights.size())};
    std::memcpy(bytes.data(), header, sizeof header);
    std::memcpy(bytes.data() + 12, weights.data(), 4 * weights.size());
    return bytes;
}

class SkeletonWorld : public ::testing::Test {
protected:
    // Code sources go into the pack with the resources.
    void start(const std::vector<std::string>& sources = {}) {
        tools::PackDescription pack{0, io::pack_engine_version, {}};
        const std::pair<uint32_t, std::vector<uint8_t>> resources[] = {
            {chain_skeleton_id, build_chain_skeleton()},
            {walk_animation_id, build_walk_animation()},
            {lean_animation_id, build_lean_animation()},
            {slot_weight_animation_id, build_slot_weight_animation()},
            {upper_body_weights_id, build_channel_weights(5, 1, {0.5f, 1.0f})},
            {wrong_size_weights_id, build_channel_weights(4, 0, {1.0f})},
        };
        for (const auto& [id, bytes] : resources) {
            pack.resources.push_back(zolt::test::make_resource(id, bytes, 2));
        }
        for (const std::string& source : sources) {
            pack.resources.push_back(tools::make_code_pack_resource(zolt::test::assemble_one(source)));
        }
        folder_.add_pack("animation.pack", pack);
        folder_.write_pack_list();
        core::resource_server.register_server();
        core::event_server.register_server();
        core::dictionary_server.register_server();
        core::listener_server.register_server();
        if (!sources.empty()) {
            core::code_server.register_server();
        }
        core::placement_server.register_server();
        animator_server.register_server();
        track_mixer_server.register_server();
        skeleton_server.register_server();
        core::message_server.register_server();
    }
    void TearDown() override { zolt::test::unregister_all_servers(); }

    Skeleton* make_skeleton() { return skeleton_server.create_skeleton(chain_skeleton_id); }
    // A mixer of the type with weight 1.
    TrackMixer* make_mixer(Skeleton* skeleton, TrackMixerType type) {
        TrackMixer* const mixer = track_mixer_server.create_track_mixer(skeleton->get_handle());
        EXPECT_TRUE(set_u32(mixer, track_mixer_property::mixer_type, static_cast<uint32_t>(type)));
        EXPECT_TRUE(set_float(mixer, track_mixer_property::weight, 1.0f));
        return mixer;
    }
    TrackMixer* make_animator_mixer(Skeleton* skeleton, uint32_t animation_id, bool loop) {
        TrackMixer* const mixer = make_mixer(skeleton, TrackMixerType::AnimatorTrack);
        mixer->replace_animator(animation_id, loop, false);
        return mixer;
    }
    static bool set_u32(core::ServerObject* object, uint32_t id, uint32_t value) {
        core::Property property;
        property.set_u32(id, value);
        return object->set_property(id, property);
    }
    static bool set_float(core::ServerObject* object, uint32_t id, float value) {
        core::Property property;
        property.set_float(id, value);
        return object->set_property(id, property);
    }
    static uint32_t get_u32(const core::ServerObject* object, uint32_t id) {
        core::Property property;
        EXPECT_TRUE(object->get_property(id, property)) << std::hex << id;
        return property.get_u32();
    }
    static float get_float(const core::ServerObject* object, uint32_t id) {
        core::Property property;
        EXPECT_TRUE(object->get_property(id, property)) << std::hex << id;
        return property.get_float();
    }
    static core::Placement* bone(Skeleton* skeleton, uint32_t index) {
        return core::placement_server.get_typed_object(skeleton->get_channel(index)->placement);
    }
    // The messages waiting for delivery, in creation order.
    static std::vector<core::Message*> pending_messages() {
        std::vector<core::Message*> messages;
        core::for_each_live_object(&core::message_server, [&](core::ServerObject* object) {
            messages.push_back(static_cast<core::Message*>(object));
        });
        return messages;
    }

private:
    zolt::test::PackFolder folder_;
};

}  // namespace zolt::animation::test
