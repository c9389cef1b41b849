// Decals in a world of sectors: builtin 600 finds or makes the set of a
// description on a sector, and a saved world brings the sets back with
// their descriptions and without their decals.
#include <gtest/gtest.h>

#include <limits>

#include "support/builtin_call.h"
#include "support/world_round_trip.h"
#include "zolt/core/program/builtin_bindings.h"
#include "zolt/network/game_server.h"
#include "zolt/navigation/area_world.h"
#include "zolt/renderer/decals/decal_server.h"

namespace zolt::renderer {
namespace {

using test::float_word;

constexpr uint32_t first_texture_id = 0x30000F5;

class DecalWorld : public test::AreaWorld {
protected:
    void SetUp() override {
        AreaWorld::SetUp();
        servers::game_server.register_server();
        decal_server.register_server();
        core::bind_all_builtins();
    }

    static servers::GameObject* make_description(uint32_t texture) {
        auto* const object = static_cast<servers::GameObject*>(servers::game_server.create_object_internal(0));
        set_word(*object, 0x30000F8, 1000000);  // lifetime
        set_word(*object, first_texture_id, texture);
        core::Property size;
        const float extent[2] = {0.5f, 0.25f};
        size.set_floats(0x200000F1, extent, 2);
        EXPECT_TRUE(object->set_property(0x200000F1, size));
        return object;
    }
    static void set_word(servers::GameObject& object, uint32_t id, uint32_t value) {
        core::Property word;
        word.set_u32(id, value);
        EXPECT_TRUE(object.set_property(id, word));
    }
    // Builtin 600 at (x, 5, 1) on the target, facing -y.
    static uint32_t spawn_on(uint32_t target, uint32_t description, float x) {
        test::BuiltinCall call;
        return call
            .call(600, {target, float_word(x), float_word(5), float_word(1), 0, 0, 0, float_word(1), 0xFFFFFFFF,
                        description, 0, 0})
            .word();
    }
};

TEST_F(DecalWorld, MatchingDescriptionsShareOneSetPerTarget) {
    servers::Sector* const left = create_sector(test::two_rooms_area, 0);
    servers::Sector* const right = create_sector(test::two_rooms_area, 1);
    const uint32_t plain = make_description(7)->get_handle();
    const uint32_t other = make_description(8)->get_handle();

    const uint32_t first = spawn_on(left->get_handle(), plain, 1);
    ASSERT_NE(first, 0u);
    EXPECT_EQ(spawn_on(left->get_handle(), plain, 3), first);
    const uint32_t second = spawn_on(left->get_handle(), other, 1);
    EXPECT_NE(second, first);
    EXPECT_NE(spawn_on(right->get_handle(), plain, 12), first);
    auto* const set = decal_server.get_typed_object(first);
    ASSERT_NE(set, nullptr);
    EXPECT_EQ(set->spawn_count, 2u);
    EXPECT_EQ(set->sector, left->get_handle());
    EXPECT_EQ(set->description.width, 0.5f);
    EXPECT_EQ(set->description.height, 0.25f);

    // A description of a size that is not a number is refused.
    servers::GameObject* const broken = make_description(7);
    core::Property size;
    const float extent[2] = {std::numeric_limits<float>::quiet_NaN(), 1};
    size.set_floats(0x200000F1, extent, 2);
    ASSERT_TRUE(broken->set_property(0x200000F1, size));
    EXPECT_EQ(spawn_on(left->get_handle(), broken->get_handle(), 1), 0u);
    // Neither a description nor a target of another kind.
    EXPECT_EQ(spawn_on(left->get_handle(), left->get_handle(), 1), 0u);
    EXPECT_EQ(spawn_on(plain, plain, 1), 0u);
}

TEST_F(DecalWorld, ASavedWorldKeepsTheSetsButNotTheirDecals) {
    servers::Sector* const left = create_sector(test::two_rooms_area, 0);
    const uint32_t description = make_description(9)->get_handle();
    const uint32_t handle = spawn_on(left->get_handle(), description, 2);
    ASSERT_NE(handle, 0u);
    test::BuiltinCall call;
    call.call(599, {1234});
    ASSERT_TRUE(test::save_and_load_world(3));
    auto* const loaded = decal_server.get_typed_object(handle);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->sector, left->get_handle());
    EXPECT_EQ(loaded->description.textures[0], 9u);
    EXPECT_EQ(loaded->description.lifetime, 1000000u);
    EXPECT_EQ(loaded->spawn_count, 0u);
    EXPECT_EQ(decal_server.get_decal_clock(), 1234u);
    EXPECT_EQ(spawn_on(left->get_handle(), description, 2), handle);
}

}  // namespace
}  // namespace zolt::renderer
