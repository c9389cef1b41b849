// The builtins that reach visuals, called as scripts call them: hidden
// variant visuals for every loaded mesh resource, and the refresh of a
// visual's material bindings.
#include <gtest/gtest.h>

#include "support/builtin_call.h"
#include "zolt/core/object_server/inherited_property.h"
#include "zolt/core/program/builtin_bindings.h"
#include "zolt/core/script_objects/dictionary_server.h"
#include "zolt/renderer/materials/material_server.h"
#include "zolt/renderer/visuals/visual_world.h"

namespace zolt::renderer {
namespace {

namespace p = visual_property;

constexpr uint32_t create_visuals_for_mesh_resources = 597;
constexpr uint32_t refresh_materials = 618;

class VisualBuiltins : public test_support::VisualWorld {
protected:
    void SetUp() override {
        VisualWorld::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        core::bind_all_builtins();
        // Where the visuals keep the properties they do not know.
        core::dictionary_server.register_server();
    }
    void TearDown() override {
        // The visuals' dictionaries go with them, before their server does.
        VisualWorld::TearDown();
        if (core::dictionary_server.is_registered()) {
            core::dictionary_server.unregister_server();
        }
    }

    static std::vector<Visual*> live_visuals() {
        std::vector<Visual*> visuals;
        core::for_each_live_object(&visual_server, [&visuals](core::ServerObject* object) {
            visuals.push_back(static_cast<Visual*>(object));
        });
        return visuals;
    }

    test::BuiltinCall call_;
};

TEST_F(VisualBuiltins, EveryLoadedMeshResourceGetsAHiddenVariantVisualOfTheOwner) {
    core::Placement* const owner = make_placement({});
    core::Placement* const parent = make_placement({});
    ASSERT_TRUE(live_visuals().empty());
    call_.call(create_visuals_for_mesh_resources, {owner->get_handle(), parent->get_handle()});

    // The world's packs hold one mesh resource: the cube.
    const std::vector<Visual*> visuals = live_visuals();
    ASSERT_EQ(visuals.size(), 1u);
    Visual* const visual = visuals[0];
    const Mesh* const mesh = mesh_server.find_mesh(visual->get_mesh());
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->get_mesh_id(), mesh_id_variant + test_support::cube_mesh);
    EXPECT_TRUE(mesh->is_variant());
    EXPECT_EQ(get_word(visual, p::visible), 0u);
    EXPECT_EQ(visual->get_owner(), owner);
    EXPECT_EQ(get_word(visual, core::parent_link_property), parent->get_handle());
    core::Property colour;
    ASSERT_TRUE(visual->get_property(0x4000005A, colour));
    for (int lane = 0; lane < 4; ++lane) {
        EXPECT_EQ(colour.get_float(lane), 1.0f);
    }
    // Variant meshes are never shared: a second call makes new ones.
    call_.call(create_visuals_for_mesh_resources, {owner->get_handle(), 0});
    const std::vector<Visual*> again = live_visuals();
    ASSERT_EQ(again.size(), 2u);
    EXPECT_NE(again[0]->get_mesh(), again[1]->get_mesh());

    // Hidden, so no view draws them.
    run_server_passes();
    EXPECT_FALSE(visual_server.get_render(*visual).visible);
}

TEST_F(VisualBuiltins, RefreshingAVisualRequeuesOnlyItsMeshMaterials) {
    Visual* const visual = make_visual({5, 5, 2});
    Material* const own = mesh_server.find_mesh(visual->get_mesh())->get_render().materials[0];
    Material* const other = make_material(test_support::layered_entry, {1, 0, 0}, {0, 0, 1});
    run_server_passes();
    ASSERT_FALSE(material_server.is_texture_update_pending(*own));
    ASSERT_FALSE(material_server.is_constant_update_pending(*own));

    struct Row {
        uint32_t flags;
        bool textures, constants;
    };
    for (const Row& row : {Row{2, true, false}, Row{1, false, true}, Row{3, true, true}, Row{0, false, false}}) {
        call_.call(refresh_materials, {visual->get_handle(), row.flags});
        EXPECT_EQ(material_server.is_texture_update_pending(*own), row.textures) << row.flags;
        EXPECT_EQ(material_server.is_constant_update_pending(*own), row.constants) << row.flags;
        EXPECT_FALSE(material_server.is_texture_update_pending(*other)) << row.flags;
        material_server.process_pending();
    }

    // A destroyed visual is no visual: the whole server is asked, and only
    // dynamic bindings go again.
    const core::ObjectHandle handle = visual->get_handle();
    visual_server.destroy_object_internal(visual);
    run_server_passes();
    visual_server.release_dead_objects(true);
    call_.call(refresh_materials, {handle, 3});
    EXPECT_FALSE(material_server.is_texture_update_pending(*other));
}

}  // namespace
}  // namespace zolt::renderer
