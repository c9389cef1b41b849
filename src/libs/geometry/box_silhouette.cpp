#include "libs/geometry/box_silhouette.h"

namespace zolt::geometry {

namespace {

struct BoxEdge {
    uint8_t corner_a, corner_b, face_a, face_b;
};

struct FaceEdge {
    uint8_t edge, flag;
};

constexpr BoxEdge box_edges[12] = {{0, 1, 0, 4}, {1, 2, 1, 4}, {2, 3, 2, 4}, {3, 0, 3, 4}, {4, 5, 5, 0}, {5, 6, 5, 1},
                                   {6, 7, 5, 2}, {7, 4, 5, 3}, {0, 4, 3, 0}, {1, 5, 0, 1}, {2, 6, 1, 2}, {3, 7, 2, 3}};

constexpr FaceEdge face_edges[6][4] = {{{0, 0}, {9, 0}, {4, 1}, {8, 1}},   {{1, 0}, {10, 0}, {5, 1}, {9, 1}},
                                       {{2, 0}, {11, 0}, {6, 1}, {10, 1}}, {{3, 0}, {8, 0}, {7, 1}, {11, 1}},
                                       {{3, 1}, {2, 1}, {1, 1}, {0, 1}},   {{4, 0}, {5, 0}, {6, 0}, {7, 0}}};

constexpr uint32_t no_edge = 12;
constexpr float smallest_w = 1.0f / 65536;

constexpr uint32_t build_silhouette(uint32_t face_mask) {
    bool on_silhouette[12] = {};
    uint8_t direction[12] = {};
    uint32_t lowest = no_edge;
    uint32_t silhouette_count = 0;
    for (uint32_t face = 0; face < 6; ++face) {
        if ((face_mask & (1u << face)) == 0) {
            continue;
        }
        for (const FaceEdge& face_edge : face_edges[face]) {
            const BoxEdge& edge = box_edges[face_edge.edge];
            const uint32_t neighbour = face_edge.flag != 0 ? edge.face_a : edge.face_b;
            if ((face_mask & (1u << neighbour)) != 0 || on_silhouette[face_edge.edge]) {
                continue;
            }
            on_silhouette[face_edge.edge] = true;
            direction[face_edge.edge] = face_edge.flag;
            ++silhouette_count;
            lowest = face_edge.edge < lowest ? face_edge.edge : lowest;
        }
    }
    if (lowest == no_edge) {
        return 0;
    }
    bool visited[12] = {};
    const BoxEdge& start = box_edges[lowest];
    const uint32_t first = direction[lowest] != 0 ? start.corner_b : start.corner_a;
    uint32_t corner = direction[lowest] != 0 ? start.corner_a : start.corner_b;
    uint32_t corners[8] = {first};
    uint32_t corner_count = 1;
    visited[lowest] = true;
    uint32_t visited_count = 1;
    while (corner != first && corner_count < 8) {
        corners[corner_count++] = corner;
        uint32_t next = no_edge;
        for (uint32_t edge = 0; edge < 12 && next == no_edge; ++edge) {
            if (on_silhouette[edge] && !visited[edge] &&
                (box_edges[edge].corner_a == corner || box_edges[edge].corner_b == corner)) {
                next = edge;
            }
        }
        if (next == no_edge) {
            break;
        }
        visited[next] = true;
        ++visited_count;
        corner = box_edges[next].corner_a == corner ? box_edges[next].corner_b : box_edges[next].corner_a;
    }
    if (visited_count != silhouette_count || corner_count < 3 || corner != first) {
        return 0;
    }
    uint32_t entry = corner_count;
    for (uint32_t index = 0; index < corner_count; ++index) {
        entry |= corners[index] << (8 + 3 * index);
    }
    return entry;
}

constexpr std::array<uint32_t, box_silhouette_entry_count> build_silhouette_table() {
    std::array<uint32_t, box_silhouette_entry_count> table{};
    for (uint32_t mask = 0; mask < box_silhouette_entry_count; ++mask) {
        table[mask] = build_silhouette(mask);
    }
    return table;
}

// Built once by the compiler rather than at the sector server's first start.
constexpr std::array<uint32_t, box_silhouette_entry_count> silhouette_table = build_silhouette_table();

}  // namespace

uint32_t project_box_silhouette(uint32_t face_mask) {
    return face_mask < box_silhouette_entry_count ? silhouette_table[face_mask] : 0;
}

const std::array<uint32_t, box_silhouette_entry_count>& get_box_silhouette_table() {
    return silhouette_table;
}

bool project_box_outline(const Matrix4& matrix, ScreenPoint* out, uint32_t& out_count, const OccluderBox& box,
                         const Vector3& origin, const Vector3& size, const Vector3& eye) {
    out_count = 0;
    uint32_t face_mask = 0;
    for (uint32_t face = 0; face < 6; ++face) {
        const Vector4& plane = box.faces[face];
        if (plane.x * eye.x + plane.y * eye.y + plane.z * eye.z + plane.w >= 0) {
            face_mask |= 1u << face;
        }
    }
    const uint32_t entry = project_box_silhouette(face_mask);
    if (entry == 0) {
        return false;
    }
    const uint32_t corner_count = entry & 0xFF;
    for (uint32_t index = 0; index < corner_count; ++index) {
        const uint32_t corner = (entry >> (8 + 3 * index)) & 7;
        const Vector4 clip = transform_homogeneous(box.corners[corner], matrix);
        if (!(clip.w > smallest_w)) {
            out_count = 0;
            return false;
        }
        const ScreenPoint point{origin.x + (clip.x / clip.w + 1) * size.x * 0.5f,
                                origin.y + (clip.y / clip.w + 1) * size.y * 0.5f};
        if (out_count == 0 || !are_same_screen_point(out[out_count - 1], point)) {
            out[out_count++] = point;
        }
    }
    if (out_count > 1 && are_same_screen_point(out[out_count - 1], out[0])) {
        --out_count;
    }
    if (out_count <= 2) {
        out_count = 0;
        return false;
    }
    return true;
}

}  // namespace zolt::geometry
