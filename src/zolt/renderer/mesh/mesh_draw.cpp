#include "zolt/renderer/mesh/mesh_draw.h"

#include "zolt/renderer/batcher/bone_batches.h"
#include "zolt/renderer/batcher/render_request.h"
#include "zolt/renderer/batcher/render_view_hooks.h"
#include "zolt/renderer/mesh/mesh_server.h"
#include "zolt/renderer/shaders/shader_draw.h"

namespace zolt::renderer {

static_assert(sizeof(BoneBatch) == mesh_bone_batch_size);
static_assert(maximum_batch_palette == mesh_batch_palette_limit);

namespace {

// Null when the request names no part of a checked mesh resource.
const MeshRender* find_part_record(const RenderRequest& request) {
    if (request.mesh == nullptr || !mesh_server.is_registered()) {
        return nullptr;
    }
    const MeshRender& record = mesh_server.get_render(*request.mesh);
    if (!record.in_use || record.resource_data == nullptr || request.part_index >= record.header.sub_part_count) {
        return nullptr;
    }
    return &record;
}

}  // namespace

bool mesh_part_uses_setup_pair(const RenderRequest& request) {
    const MeshRender* const record = find_part_record(request);
    if (record == nullptr) {
        return false;
    }
    const MeshSubPart sub_part = read_mesh_sub_part(record->resource_data, record->header, request.part_index);
    return read_vertex_layout_word(record->resource_data, record->header, sub_part.vertex_layout_index, 2) != 0;
}

void draw_mesh_part(const RenderRequest& request) {
    const MeshRender* const record = find_part_record(request);
    const MeshSubPart sub_part = record != nullptr
                                     ? read_mesh_sub_part(record->resource_data, record->header, request.part_index)
                                     : MeshSubPart{};
    if (sub_part.bone_batch_count == 0) {
        shader_library::draw_indexed(request.index_count, request.first_index);
        return;
    }
    const MeshHeader& header = record->header;
    BoneBatchDraw draw;
    draw.pose = record->skeleton_render;
    draw.palette = get_mesh_palette(record->resource_data, header);
    draw.palette_size = header.palette_count;
    // The same twelve bytes: the check keeps the table word-aligned.
    draw.batches = reinterpret_cast<const BoneBatch*>(get_mesh_bone_batches(record->resource_data, header)) +
                   sub_part.first_bone_batch;
    draw.batch_count = sub_part.bone_batch_count;
    draw_bone_batches(draw);
}

void install_mesh_draw_hooks() {
    render_view_hooks.mesh_uses_setup_pair = &mesh_part_uses_setup_pair;
    render_view_hooks.draw_mesh_part = &draw_mesh_part;
}

void remove_mesh_draw_hooks() {
    render_view_hooks.mesh_uses_setup_pair = nullptr;
    render_view_hooks.draw_mesh_part = nullptr;
}

}  // namespace zolt::renderer
