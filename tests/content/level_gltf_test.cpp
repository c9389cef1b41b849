// The sample level's glTF files as scripts/make-level-gltf.py wrote them:
// each room's surfaces face into the room, wind towards their normals, leave
// the door openings open and cover the rest of the room's shell; the props
// stand on their origin with the materials level.json names.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "libs/geometry/vector.h"
#include "zcontent/lib/gltf_document.h"

namespace zolt::tools {
namespace {

using geometry::Vector3;

struct Triangle {
    Vector3 corners[3];
    Vector3 normal;  // the stored normal of its first corner
};

// Every triangle of the file's first mesh, by the name of its material.
std::map<std::string, std::vector<Triangle>> read_triangles(const std::string& name) {
    GltfDocument document;
    std::string error;
    std::map<std::string, std::vector<Triangle>> triangles;
    const std::string path = std::string(ZOLT_CONTENT_SOURCE_PATH) + "/level/" + name + ".gltf";
    EXPECT_TRUE(load_gltf_file(path, &document, &error)) << error;
    if (document.model.meshes.empty()) {
        ADD_FAILURE() << path << " has no mesh";
        return triangles;
    }
    for (const tinygltf::Primitive& primitive : document.model.meshes[0].primitives) {
        std::vector<float> positions, normals;
        EXPECT_TRUE(read_accessor_floats(document, primitive.attributes.at("POSITION"), 3, &positions, &error))
            << error;
        EXPECT_TRUE(read_accessor_floats(document, primitive.attributes.at("NORMAL"), 3, &normals, &error)) << error;
        const tinygltf::Accessor& accessor = document.model.accessors[primitive.indices];
        const tinygltf::BufferView& view = document.model.bufferViews[accessor.bufferView];
        const uint8_t* const data =
            document.model.buffers[view.buffer].data.data() + view.byteOffset + accessor.byteOffset;
        EXPECT_EQ(accessor.componentType, TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT);
        std::vector<Triangle>& list = triangles[document.model.materials[primitive.material].name];
        for (size_t first = 0; first + 2 < accessor.count; first += 3) {
            Triangle triangle;
            for (int corner = 0; corner < 3; ++corner) {
                uint16_t index;
                std::memcpy(&index, data + 2 * (first + corner), 2);
                triangle.corners[corner] = {positions[3 * index], positions[3 * index + 1], positions[3 * index + 2]};
                if (corner == 0) {
                    triangle.normal = {normals[3 * index], normals[3 * index + 1], normals[3 * index + 2]};
                }
            }
            list.push_back(triangle);
        }
    }
    return triangles;
}

Vector3 get_winding_normal(const Triangle& triangle) {
    return geometry::cross(triangle.corners[1] - triangle.corners[0], triangle.corners[2] - triangle.corners[0]);
}

// True when the point lies on the triangle (within a millimetre of its plane).
bool covers(const Triangle& triangle, const Vector3& point) {
    const Vector3 normal = get_winding_normal(triangle);
    const float area = geometry::length(normal);
    if (std::fabs(geometry::dot(normal, point - triangle.corners[0])) > 1e-3f * area) {
        return false;
    }
    for (int edge = 0; edge < 3; ++edge) {
        const Vector3 side = triangle.corners[(edge + 1) % 3] - triangle.corners[edge];
        if (geometry::dot(geometry::cross(side, point - triangle.corners[edge]), normal) < 0) {
            return false;
        }
    }
    return true;
}

struct Room {
    const char* name;
    Vector3 minimum, maximum;
    std::vector<Vector3> door_centres;
    float wall_area;
};

TEST(SampleLevelGltf, RoomsFaceInwardsWithTheirDoorsOpen) {
    constexpr float door_area = 2 * 2.2f;
    const Room rooms[] = {
        {"room_a", {0, 0, 0}, {8, 8, 3}, {{8, 4, 1.1f}, {4, 8, 1.1f}}, 4 * 8 * 3 - 2 * door_area},
        {"room_b", {8, 0, 0}, {16, 8, 3}, {{8, 4, 1.1f}}, 4 * 8 * 3 - door_area},
        {"room_c", {0, 8, 0}, {8, 16, 3}, {{4, 8, 1.1f}}, 4 * 8 * 3 - door_area},
    };
    for (const Room& room : rooms) {
        const auto triangles = read_triangles(room.name);
        ASSERT_EQ(triangles.size(), 3u) << room.name;
        const Vector3 centre = (room.minimum + room.maximum) * 0.5f;
        std::map<std::string, float> areas;
        for (const auto& [material, list] : triangles) {
            for (const Triangle& triangle : list) {
                const Vector3 winding = get_winding_normal(triangle);
                areas[material] += geometry::length(winding) / 2;
                EXPECT_GT(geometry::dot(winding, triangle.normal), 0) << room.name << " " << material;
                EXPECT_GT(geometry::dot(triangle.normal, centre - triangle.corners[0]), 0)
                    << room.name << " " << material << ": a surface faces out of the room";
                for (const Vector3& door : room.door_centres) {
                    EXPECT_FALSE(covers(triangle, door)) << room.name << ": a door is closed";
                }
            }
        }
        EXPECT_NEAR(areas["floor"], 64, 1e-3f) << room.name;
        EXPECT_NEAR(areas["ceiling"], 64, 1e-3f) << room.name;
        EXPECT_NEAR(areas["wall"], room.wall_area, 1e-3f) << room.name;
    }
}

TEST(SampleLevelGltf, PropsStandOnTheirOriginWithTheirMaterials) {
    struct Prop {
        const char* name;
        const char* material;
        float height;
    };
    for (const Prop& prop : {Prop{"crate", "crate", 1}, Prop{"pillar", "pillar", 3}, Prop{"table", "table", 0.75f}}) {
        const auto triangles = read_triangles(prop.name);
        ASSERT_EQ(triangles.size(), 1u) << prop.name;
        ASSERT_EQ(triangles.begin()->first, prop.material);
        float lowest = 1e9f, highest = -1e9f;
        for (const Triangle& triangle : triangles.begin()->second) {
            EXPECT_GT(geometry::dot(get_winding_normal(triangle), triangle.normal), 0) << prop.name;
            for (const Vector3& corner : triangle.corners) {
                lowest = std::min(lowest, corner.z);
                highest = std::max(highest, corner.z);
            }
        }
        EXPECT_FLOAT_EQ(lowest, 0) << prop.name;
        EXPECT_FLOAT_EQ(highest, prop.height) << prop.name;
    }
}

}  // namespace
}  // namespace zolt::tools
