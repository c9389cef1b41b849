#include "gltf_mesh_import.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "gltf_skin_import.h"
#include "zolt/renderer/backend/stream.h"
#include "zolt/renderer/backend/stream_fibres.h"
#include "zolt/renderer/shaders/shader_attribute_targets.h"

namespace zolt::tools {
namespace {

using renderer::FibreSourceFormat;
using renderer::make_fibre_format;
using Matrix = std::array<double, 16>;  // column-major, as glTF stores it
using Vec3 = std::array<double, 3>;

constexpr Matrix identity_matrix = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
constexpr int triangles_mode = 4;

Matrix multiply(const Matrix& a, const Matrix& b) {
    Matrix result{};
    for (int column = 0; column < 4; ++column) {
        for (int row = 0; row < 4; ++row) {
            double sum = 0;
            for (int k = 0; k < 4; ++k) {
                sum += a[k * 4 + row] * b[column * 4 + k];
            }
            result[column * 4 + row] = sum;
        }
    }
    return result;
}

Matrix get_local_matrix(const tinygltf::Node& node) {
    if (node.matrix.size() == 16) {
        Matrix matrix;
        std::copy(node.matrix.begin(), node.matrix.end(), matrix.begin());
        return matrix;
    }
    const double tx = node.translation.size() == 3 ? node.translation[0] : 0;
    const double ty = node.translation.size() == 3 ? node.translation[1] : 0;
    const double tz = node.translation.size() == 3 ? node.translation[2] : 0;
    double x = 0, y = 0, z = 0, w = 1;
    if (node.rotation.size() == 4) {
        x = node.rotation[0], y = node.rotation[1], z = node.rotation[2], w = node.rotation[3];
        const double length = std::sqrt(x * x + y * y + z * z + w * w);
        if (length > 0) {
            x /= length, y /= length, z /= length, w /= length;
        }
    }
    const double sx = node.scale.size() == 3 ? node.scale[0] : 1;
    const double sy = node.scale.size() == 3 ? node.scale[1] : 1;
    const double sz = node.scale.size() == 3 ? node.scale[2] : 1;
    return {(1 - 2 * (y * y + z * z)) * sx, 2 * (x * y + z * w) * sx, 2 * (x * z - y * w) * sx, 0,
            2 * (x * y - z * w) * sy, (1 - 2 * (x * x + z * z)) * sy, 2 * (y * z + x * w) * sy, 0,
            2 * (x * z + y * w) * sz, 2 * (y * z - x * w) * sz, (1 - 2 * (x * x + y * y)) * sz, 0,
            tx, ty, tz, 1};
}

Vec3 transform_point(const Matrix& m, const Vec3& p) {
    return {m[0] * p[0] + m[4] * p[1] + m[8] * p[2] + m[12], m[1] * p[0] + m[5] * p[1] + m[9] * p[2] + m[13],
            m[2] * p[0] + m[6] * p[1] + m[10] * p[2] + m[14]};
}

Vec3 transform_direction(const Matrix& m, const Vec3& d) {
    return {m[0] * d[0] + m[4] * d[1] + m[8] * d[2], m[1] * d[0] + m[5] * d[1] + m[9] * d[2],
            m[2] * d[0] + m[6] * d[1] + m[10] * d[2]};
}

double get_determinant_3x3(const Matrix& m) {
    return m[0] * (m[5] * m[10] - m[9] * m[6]) - m[4] * (m[1] * m[10] - m[9] * m[2]) +
           m[8] * (m[1] * m[6] - m[5] * m[2]);
}

// Normals go through the inverse transpose: the cofactor matrix does, up to
// a scale the normalisation removes.
Vec3 transform_normal(const Matrix& m, const Vec3& n) {
    const double c[9] = {m[5] * m[10] - m[6] * m[9], m[6] * m[8] - m[4] * m[10], m[4] * m[9] - m[5] * m[8],
                         m[2] * m[9] - m[1] * m[10], m[0] * m[10] - m[2] * m[8], m[1] * m[8] - m[0] * m[9],
                         m[1] * m[6] - m[2] * m[5], m[2] * m[4] - m[0] * m[6], m[0] * m[5] - m[1] * m[4]};
    return {c[0] * n[0] + c[3] * n[1] + c[6] * n[2], c[1] * n[0] + c[4] * n[1] + c[7] * n[2],
            c[2] * n[0] + c[5] * n[1] + c[8] * n[2]};
}

Vec3 subtract(const Vec3& a, const Vec3& b) {
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}
Vec3 cross(const Vec3& a, const Vec3& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
double dot(const Vec3& a, const Vec3& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}
Vec3 normalise(const Vec3& v, const Vec3& fallback) {
    const double length = std::sqrt(dot(v, v));
    return length > 1e-12 ? Vec3{v[0] / length, v[1] / length, v[2] / length} : fallback;
}

// Unsigned scalars (components 1) or vectors of four (JOINTS_n).
bool read_indices(const GltfDocument& document, int accessor_index, std::vector<uint32_t>* indices,
                  std::string* error, uint32_t components = 1) {
    const tinygltf::Model& model = document.model;
    const std::string where = document.path + ": accessor " + std::to_string(accessor_index) + ": ";
    if (accessor_index < 0 || static_cast<size_t>(accessor_index) >= model.accessors.size()) {
        *error = where + "missing";
        return false;
    }
    const tinygltf::Accessor& accessor = model.accessors[accessor_index];
    uint32_t size = 0;
    switch (accessor.componentType) {
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE:
        size = 1;
        break;
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT:
        size = 2;
        break;
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT:
        size = 4;
        break;
    default:
        break;
    }
    const int type = components == 1 ? TINYGLTF_TYPE_SCALAR : TINYGLTF_TYPE_VEC4;
    if (accessor.type != type || size == 0 || (components != 1 && (size == 4 || accessor.normalized))) {
        *error = where + (components == 1 ? "indices must be unsigned scalars"
                                          : "joints must be four unsigned bytes or shorts");
        return false;
    }
    if (accessor.sparse.isSparse) {
        *error = where + "sparse accessors are not supported";
        return false;
    }
    if (accessor.bufferView < 0 || static_cast<size_t>(accessor.bufferView) >= model.bufferViews.size()) {
        *error = where + "has no plain buffer view";
        return false;
    }
    const tinygltf::BufferView& view = model.bufferViews[accessor.bufferView];
    if (view.buffer < 0 || static_cast<size_t>(view.buffer) >= model.buffers.size()) {
        *error = where + "names a missing buffer";
        return false;
    }
    const std::vector<unsigned char>& buffer = model.buffers[view.buffer].data;
    const uint64_t element_size = uint64_t{size} * components;
    const uint64_t stride = view.byteStride != 0 ? view.byteStride : element_size;
    const uint64_t count = accessor.count;
    if (stride < element_size || view.byteOffset > buffer.size() || view.byteLength > buffer.size() - view.byteOffset ||
        (count > 0 && (accessor.byteOffset > view.byteLength ||
                       (count - 1) * stride + element_size > view.byteLength - accessor.byteOffset))) {
        *error = where + "runs past its buffer";
        return false;
    }
    indices->resize(count * components);
    const unsigned char* start = buffer.data() + view.byteOffset + accessor.byteOffset;
    for (uint64_t index = 0; index < count; ++index) {
        for (uint32_t component = 0; component < components; ++component) {
            uint32_t value = 0;
            std::memcpy(&value, start + index * stride + component * size, size);
            (*indices)[index * components + component] = value;
        }
    }
    return true;
}

bool has_sparse_accessor(const tinygltf::Model& model) {
    return std::any_of(model.accessors.begin(), model.accessors.end(),
                       [](const tinygltf::Accessor& accessor) { return accessor.sparse.isSparse; });
}

struct Vertex {
    Vec3 position{};
    Vec3 normal{};
    std::array<double, 4> tangent{};
    std::array<double, 2> uv{};
    std::array<uint8_t, 4> colour{255, 255, 255, 255};
    std::array<float, 4> weights{};
    std::array<float, 4> palette_entries{};
};

// Face-weighted normals for a primitive without them.
void generate_normals(std::vector<Vertex>& vertices, const std::vector<uint32_t>& indices) {
    std::vector<Vec3> sums(vertices.size(), Vec3{});
    for (size_t corner = 0; corner + 2 < indices.size(); corner += 3) {
        const Vec3& a = vertices[indices[corner]].position;
        const Vec3 face = cross(subtract(vertices[indices[corner + 1]].position, a),
                                subtract(vertices[indices[corner + 2]].position, a));
        for (int k = 0; k < 3; ++k) {
            Vec3& sum = sums[indices[corner + k]];
            sum = {sum[0] + face[0], sum[1] + face[1], sum[2] + face[2]};
        }
    }
    for (size_t index = 0; index < vertices.size(); ++index) {
        vertices[index].normal = normalise(sums[index], {0, 0, 1});
    }
}

// Texture-space tangents: each triangle's direction of increasing u (and
// v for the handedness), weighted by its corner angle as MikkTSpace does,
// summed per vertex, then made orthogonal to the normal.
void generate_tangents(std::vector<Vertex>& vertices, const std::vector<uint32_t>& indices) {
    std::vector<Vec3> u_sums(vertices.size(), Vec3{});
    std::vector<Vec3> v_sums(vertices.size(), Vec3{});
    for (size_t corner = 0; corner + 2 < indices.size(); corner += 3) {
        const Vertex* v[3] = {&vertices[indices[corner]], &vertices[indices[corner + 1]],
                              &vertices[indices[corner + 2]]};
        const Vec3 e1 = subtract(v[1]->position, v[0]->position);
        const Vec3 e2 = subtract(v[2]->position, v[0]->position);
        const double du1 = v[1]->uv[0] - v[0]->uv[0], dv1 = v[1]->uv[1] - v[0]->uv[1];
        const double du2 = v[2]->uv[0] - v[0]->uv[0], dv2 = v[2]->uv[1] - v[0]->uv[1];
        const double area = du1 * dv2 - du2 * dv1;
        if (std::fabs(area) < 1e-20) {
            continue;
        }
        const double sign = area > 0 ? 1.0 : -1.0;
        const Vec3 u_direction = normalise({(e1[0] * dv2 - e2[0] * dv1) * sign, (e1[1] * dv2 - e2[1] * dv1) * sign,
                                            (e1[2] * dv2 - e2[2] * dv1) * sign},
                                           {0, 0, 0});
        const Vec3 v_direction = normalise({(e2[0] * du1 - e1[0] * du2) * sign, (e2[1] * du1 - e1[1] * du2) * sign,
                                            (e2[2] * du1 - e1[2] * du2) * sign},
                                           {0, 0, 0});
        for (int k = 0; k < 3; ++k) {
            const Vec3 a = normalise(subtract(v[(k + 1) % 3]->position, v[k]->position), {0, 0, 0});
            const Vec3 b = normalise(subtract(v[(k + 2) % 3]->position, v[k]->position), {0, 0, 0});
            const double angle = std::acos(std::clamp(dot(a, b), -1.0, 1.0));
            const uint32_t index = indices[corner + k];
            for (int axis = 0; axis < 3; ++axis) {
                u_sums[index][axis] += u_direction[axis] * angle;
                v_sums[index][axis] += v_direction[axis] * angle;
            }
        }
    }
    for (size_t index = 0; index < vertices.size(); ++index) {
        Vertex& vertex = vertices[index];
        const Vec3& n = vertex.normal;
        const Vec3 along = u_sums[index];
        const double projection = dot(along, n);
        Vec3 t = normalise({along[0] - n[0] * projection, along[1] - n[1] * projection, along[2] - n[2] * projection},
                           {});
        if (dot(t, t) == 0) {
            // No texture direction: any unit vector across the normal.
            t = normalise(cross(std::fabs(n[0]) < 0.9 ? Vec3{1, 0, 0} : Vec3{0, 1, 0}, n), {1, 0, 0});
        }
        const double handedness = dot(cross(n, t), v_sums[index]) < 0 ? -1.0 : 1.0;
        vertex.tangent = {t[0], t[1], t[2], handedness};
    }
}

struct SphereBounds {
    Vec3 minimum{HUGE_VAL, HUGE_VAL, HUGE_VAL};
    Vec3 maximum{-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};

    void add(const Vec3& p) {
        for (int axis = 0; axis < 3; ++axis) {
            minimum[axis] = std::min(minimum[axis], p[axis]);
            maximum[axis] = std::max(maximum[axis], p[axis]);
        }
    }
    Vec3 centre() const {
        return {(minimum[0] + maximum[0]) / 2, (minimum[1] + maximum[1]) / 2, (minimum[2] + maximum[2]) / 2};
    }
};

renderer::MeshSphere make_sphere(const SphereBounds& bounds, const std::vector<Vec3>& points) {
    const Vec3 centre = bounds.centre();
    double radius = 0;
    for (const Vec3& p : points) {
        const Vec3 d = subtract(p, centre);
        radius = std::max(radius, std::sqrt(dot(d, d)));
    }
    return {static_cast<float>(centre[0]), static_cast<float>(centre[1]), static_cast<float>(centre[2]),
            static_cast<float>(radius)};
}

void append_float(std::vector<uint8_t>& bytes, double value) {
    const float single = static_cast<float>(value);
    uint8_t word[4];
    std::memcpy(word, &single, 4);
    bytes.insert(bytes.end(), word, word + 4);
}

struct Importer {
    const GltfDocument& document;
    const MeshEntry& entry;
    renderer::MeshBuild* build;
    std::string* error;
    std::map<std::string, uint32_t> material_indices;
    SphereBounds bounds;
    std::vector<Vec3> all_points;
    // The skin every mesh node names; -1 rigid, -2 until a mesh node is met.
    int skin = -2;
    uint32_t joint_count = 0;

    bool is_skinned() const { return skin >= 0; }

    // The vertices' four heaviest joints of JOINTS_0 and JOINTS_1 with their
    // weights, renormalised; each joint becomes an entry of the primitive's
    // palette stretch, which the batch appended to the build names.
    bool read_influences(const tinygltf::Primitive& primitive, std::vector<Vertex>& vertices,
                         renderer::MeshBoneBatch* batch) {
        std::vector<uint32_t> joints[2];
        std::vector<float> weights[2];
        for (uint32_t set = 0; set < 2; ++set) {
            const std::string suffix = std::to_string(set);
            const auto joint = primitive.attributes.find("JOINTS_" + suffix);
            const auto weight = primitive.attributes.find("WEIGHTS_" + suffix);
            if ((joint == primitive.attributes.end()) != (weight == primitive.attributes.end())) {
                return fail("JOINTS_" + suffix + " and WEIGHTS_" + suffix + " come together");
            }
            if (joint == primitive.attributes.end()) {
                if (set == 0) {
                    return fail("a primitive of a skinned node has no JOINTS_0");
                }
                continue;
            }
            if (!read_indices(document, joint->second, &joints[set], error, 4) ||
                !read_accessor_floats(document, weight->second, 4, &weights[set], error)) {
                *error = entry.name + ": " + *error;
                return false;
            }
            if (joints[set].size() != vertices.size() * 4 || weights[set].size() != vertices.size() * 4) {
                return fail("a primitive's attributes differ in count");
            }
        }
        std::vector<uint32_t> palette_of_joint(joint_count, UINT32_MAX);
        batch->first_palette_entry = static_cast<uint32_t>(build->palette.size());
        for (size_t index = 0; index < vertices.size(); ++index) {
            JointInfluence influences[8];
            uint32_t count = 0;
            for (uint32_t set = 0; set < 2; ++set) {
                for (uint32_t k = 0; !joints[set].empty() && k < 4; ++k) {
                    const uint32_t joint = joints[set][index * 4 + k];
                    const float weight = weights[set][index * 4 + k];
                    if (weight > 0 && joint >= joint_count) {
                        return fail("a vertex names joint " + std::to_string(joint) + " of a skin of " +
                                    std::to_string(joint_count));
                    }
                    influences[count++] = {static_cast<uint16_t>(joint), weight};
                }
            }
            JointInfluence kept[gltf_vertex_influence_limit];
            const uint32_t kept_count =
                limit_joint_influences(influences, count, gltf_vertex_influence_limit, kept);
            if (kept_count == 0) {
                return fail("a vertex of a skinned primitive has no weight");
            }
            for (uint32_t k = 0; k < kept_count; ++k) {
                uint32_t& entry_of_joint = palette_of_joint[kept[k].joint];
                if (entry_of_joint == UINT32_MAX) {
                    if (build->palette.size() - batch->first_palette_entry == renderer::mesh_batch_palette_limit) {
                        return fail("a skinned primitive names more than " +
                                    std::to_string(renderer::mesh_batch_palette_limit) +
                                    " joints; split it into primitives of fewer");
                    }
                    entry_of_joint = static_cast<uint32_t>(build->palette.size()) - batch->first_palette_entry;
                    build->palette.push_back(kept[k].joint);
                }
                vertices[index].weights[k] = kept[k].weight;
                vertices[index].palette_entries[k] = static_cast<float>(entry_of_joint);
            }
        }
        batch->palette_length = static_cast<uint32_t>(build->palette.size()) - batch->first_palette_entry;
        return true;
    }

    bool fail(const std::string& text) {
        *error = document.path + ": " + entry.name + ": " + text;
        return false;
    }

    bool read_optional(const tinygltf::Primitive& primitive, const char* name, uint32_t components,
                       std::vector<float>* values) {
        const auto found = primitive.attributes.find(name);
        if (found == primitive.attributes.end()) {
            values->clear();
            return true;
        }
        if (!read_accessor_floats(document, found->second, components, values, error)) {
            *error = entry.name + ": " + name + ": " + *error;
            return false;
        }
        return true;
    }

    bool find_material(const tinygltf::Primitive& primitive, uint32_t* index) {
        const tinygltf::Model& model = document.model;
        if (primitive.material < 0 || static_cast<size_t>(primitive.material) >= model.materials.size()) {
            return fail("a primitive has no material; every primitive needs one the manifest lists");
        }
        const std::string& name = model.materials[primitive.material].name;
        const auto binding = entry.materials.find(name);
        if (binding == entry.materials.end()) {
            return fail("glTF material \"" + name + "\" is not listed in the manifest's \"materials\"");
        }
        const auto known = material_indices.find(name);
        if (known != material_indices.end()) {
            *index = known->second;
            return true;
        }
        renderer::MeshBuildMaterial material;
        material.shader_index = binding->second.shader_index;
        if (binding->second.texture_id != 0) {
            material.tables[1].push_back(binding->second.texture_id);
        }
        if (binding->second.normal_map_id != 0) {
            material.tables[1].push_back(binding->second.normal_map_id);
        }
        material.tables[4] = {
            1u << renderer::shader_library::fibre_source_stream_shift,
            make_fibre_format(FibreSourceFormat::float_3, gltf_vertex_offset::position),
            make_fibre_format(FibreSourceFormat::float_2, gltf_vertex_offset::texture_coordinates),
            make_fibre_format(FibreSourceFormat::unsigned_byte_4_normalised, gltf_vertex_offset::colour),
            make_fibre_format(FibreSourceFormat::float_3, gltf_vertex_offset::normal),
            make_fibre_format(FibreSourceFormat::float_4, gltf_vertex_offset::tangent),
        };
        if (is_skinned()) {
            material.tables[4].push_back(make_fibre_format(FibreSourceFormat::float_4, gltf_vertex_offset::weights));
            material.tables[4].push_back(
                make_fibre_format(FibreSourceFormat::float_4, gltf_vertex_offset::palette_entries));
        }
        if (build->material_sets.empty()) {
            build->material_sets.emplace_back();
        }
        *index = static_cast<uint32_t>(build->material_sets[0].size());
        build->material_sets[0].push_back(std::move(material));
        material_indices.emplace(name, *index);
        return true;
    }

    bool import_primitive(const tinygltf::Primitive& primitive, const Matrix& world, renderer::MeshBuildPart* part,
                          SphereBounds* part_bounds, std::vector<Vec3>* part_points) {
        if (primitive.mode != -1 && primitive.mode != triangles_mode) {
            return fail("only triangle primitives are supported");
        }
        if (!primitive.targets.empty()) {
            return fail("morph targets are not supported");
        }
        if (primitive.extensions.count("KHR_draco_mesh_compression") != 0) {
            return fail("Draco-compressed primitives are not supported");
        }
        const auto position = primitive.attributes.find("POSITION");
        if (position == primitive.attributes.end()) {
            return fail("a primitive has no POSITION");
        }
        std::vector<float> positions, normals, tangents, uvs, colours;
        if (!read_accessor_floats(document, position->second, 3, &positions, error) ||
            !read_optional(primitive, "NORMAL", 3, &normals) || !read_optional(primitive, "TANGENT", 4, &tangents) ||
            !read_optional(primitive, "TEXCOORD_0", 2, &uvs)) {
            return false;
        }
        const size_t count = positions.size() / 3;
        const auto colour = primitive.attributes.find("COLOR_0");
        uint32_t colour_components = 0;
        if (colour != primitive.attributes.end()) {
            colour_components = document.model.accessors.size() > static_cast<size_t>(colour->second) &&
                                        document.model.accessors[colour->second].type == TINYGLTF_TYPE_VEC3
                                    ? 3
                                    : 4;
            if (!read_accessor_floats(document, colour->second, colour_components, &colours, error)) {
                return false;
            }
        }
        if ((!normals.empty() && normals.size() != count * 3) || (!tangents.empty() && tangents.size() != count * 4) ||
            (!uvs.empty() && uvs.size() != count * 2) ||
            (!colours.empty() && colours.size() != count * colour_components)) {
            return fail("a primitive's attributes differ in count");
        }
        if (count == 0 || count > UINT32_MAX) {
            return fail("a primitive has no vertices");
        }
        std::vector<uint32_t> indices;
        if (primitive.indices >= 0) {
            if (!read_indices(document, primitive.indices, &indices, error)) {
                return false;
            }
        } else {
            for (uint32_t index = 0; index < count; ++index) {
                indices.push_back(index);
            }
        }
        if (indices.size() % 3 != 0) {
            return fail("a primitive's index count is not a multiple of 3");
        }
        for (const uint32_t index : indices) {
            if (index >= count) {
                return fail("an index reaches past the primitive's vertices");
            }
        }
        // A mirroring transform turns the winding round.
        const bool mirrored = get_determinant_3x3(world) < 0;
        if (mirrored) {
            for (size_t corner = 0; corner + 2 < indices.size(); corner += 3) {
                std::swap(indices[corner + 1], indices[corner + 2]);
            }
        }
        std::vector<Vertex> vertices(count);
        for (size_t index = 0; index < count; ++index) {
            Vertex& vertex = vertices[index];
            vertex.position = transform_point(world, {positions[index * 3], positions[index * 3 + 1],
                                                      positions[index * 3 + 2]});
            if (!normals.empty()) {
                vertex.normal = normalise(
                    transform_normal(world, {normals[index * 3], normals[index * 3 + 1], normals[index * 3 + 2]}),
                    {0, 0, 1});
            }
            if (!uvs.empty()) {
                vertex.uv = {uvs[index * 2], uvs[index * 2 + 1]};
            }
            if (!tangents.empty()) {
                const Vec3 t = normalise(transform_direction(world, {tangents[index * 4], tangents[index * 4 + 1],
                                                                     tangents[index * 4 + 2]}),
                                         {1, 0, 0});
                const double w = tangents[index * 4 + 3] < 0 ? -1.0 : 1.0;
                vertex.tangent = {t[0], t[1], t[2], mirrored ? -w : w};
            }
            for (uint32_t component = 0; component < colour_components; ++component) {
                vertex.colour[component] = static_cast<uint8_t>(
                    std::lround(std::clamp(colours[index * colour_components + component], 0.0f, 1.0f) * 255));
            }
        }
        renderer::MeshBoneBatch batch{static_cast<uint32_t>(indices.size() / 3), 0, 0};
        if (is_skinned() && !read_influences(primitive, vertices, &batch)) {
            return false;
        }
        if (normals.empty()) {
            generate_normals(vertices, indices);
        }
        if (tangents.empty()) {
            generate_tangents(vertices, indices);
        }
        renderer::MeshBuildStream vertex_stream;
        vertex_stream.format = is_skinned() ? gltf_skinned_vertex_stride : gltf_vertex_stride;
        SphereBounds primitive_bounds;
        std::vector<Vec3> points;
        for (const Vertex& vertex : vertices) {
            for (const double value : vertex.position) {
                append_float(vertex_stream.bytes, value);
            }
            for (const double value : vertex.normal) {
                append_float(vertex_stream.bytes, value);
            }
            for (const double value : vertex.tangent) {
                append_float(vertex_stream.bytes, value);
            }
            for (const double value : vertex.uv) {
                append_float(vertex_stream.bytes, value);
            }
            vertex_stream.bytes.insert(vertex_stream.bytes.end(), vertex.colour.begin(), vertex.colour.end());
            if (is_skinned()) {
                for (const float value : vertex.weights) {
                    append_float(vertex_stream.bytes, value);
                }
                for (const float value : vertex.palette_entries) {
                    append_float(vertex_stream.bytes, value);
                }
            }
            primitive_bounds.add(vertex.position);
            part_bounds->add(vertex.position);
            bounds.add(vertex.position);
            points.push_back(vertex.position);
        }
        renderer::MeshBuildStream index_stream;
        const bool wide = count > 65536;
        index_stream.format = renderer::stream_format_index | (wide ? 4 : 2);
        for (const uint32_t index : indices) {
            uint8_t word[4];
            std::memcpy(word, &index, 4);
            index_stream.bytes.insert(index_stream.bytes.end(), word, word + (wide ? 4 : 2));
        }
        renderer::MeshBuildSubPart sub_part;
        if (!find_material(primitive, &sub_part.material_index)) {
            return false;
        }
        sub_part.first_stream = static_cast<uint32_t>(build->streams.size());
        sub_part.stream_count = 2;
        sub_part.sphere = make_sphere(primitive_bounds, points);
        if (is_skinned()) {
            sub_part.first_bone_batch = static_cast<uint32_t>(build->bone_batches.size());
            sub_part.bone_batch_count = 1;
            build->bone_batches.push_back(batch);
        }
        build->streams.push_back(std::move(vertex_stream));
        build->streams.push_back(std::move(index_stream));
        part->sub_parts.push_back(sub_part);
        part_points->insert(part_points->end(), points.begin(), points.end());
        all_points.insert(all_points.end(), points.begin(), points.end());
        return true;
    }

    bool import_node(int node_index, const Matrix& parent, uint32_t depth) {
        const tinygltf::Model& model = document.model;
        if (node_index < 0 || static_cast<size_t>(node_index) >= model.nodes.size() || depth > model.nodes.size()) {
            return fail("the node hierarchy names a missing node or loops");
        }
        const tinygltf::Node& node = model.nodes[node_index];
        const Matrix world = multiply(parent, get_local_matrix(node));
        if (node.mesh >= 0) {
            if (static_cast<size_t>(node.mesh) >= model.meshes.size()) {
                return fail(get_node_name(document, node_index) + " names a missing mesh");
            }
            const int node_skin = node.skin >= 0 ? node.skin : -1;
            if (skin != -2 && skin != node_skin) {
                return fail(get_node_name(document, node_index) +
                            ": a mesh is skinned throughout, to one skin, or rigid throughout");
            }
            if (node_skin >= 0 && (static_cast<size_t>(node_skin) >= model.skins.size() ||
                                   model.skins[node_skin].joints.empty() ||
                                   model.skins[node_skin].joints.size() > animation::maximum_skeleton_bones)) {
                return fail(get_node_name(document, node_index) + " names a missing skin or one of too many joints");
            }
            skin = node_skin;
            if (is_skinned()) {
                joint_count = static_cast<uint32_t>(model.skins[node_skin].joints.size());
                build->bone_count = joint_count;
                build->layout_word = 1;
            }
            renderer::MeshBuildPart part;
            SphereBounds part_bounds;
            std::vector<Vec3> part_points;
            // A skinned node's vertices stay in the skin's bind space.
            const Matrix& placed = is_skinned() ? identity_matrix : world;
            for (const tinygltf::Primitive& primitive : model.meshes[node.mesh].primitives) {
                if (!import_primitive(primitive, placed, &part, &part_bounds, &part_points)) {
                    return false;
                }
            }
            if (!part.sub_parts.empty()) {
                part.sphere = make_sphere(part_bounds, part_points);
                build->parts.push_back(std::move(part));
            }
        }
        for (const int child : node.children) {
            if (!import_node(child, world, depth + 1)) {
                return false;
            }
        }
        return true;
    }

    bool run() {
        const tinygltf::Model& model = document.model;
        for (const std::string& extension : model.extensionsRequired) {
            if (extension == "KHR_draco_mesh_compression") {
                return fail("Draco-compressed meshes are not supported");
            }
        }
        for (const std::string& extension : model.extensionsUsed) {
            if (extension == "KHR_draco_mesh_compression") {
                return fail("Draco-compressed meshes are not supported");
            }
        }
        if (has_sparse_accessor(model)) {
            return fail("sparse accessors are not supported");
        }
        std::vector<int> roots;
        if (!model.scenes.empty()) {
            const int scene = model.defaultScene >= 0 && static_cast<size_t>(model.defaultScene) < model.scenes.size()
                                  ? model.defaultScene
                                  : 0;
            roots = model.scenes[scene].nodes;
        } else {
            std::vector<bool> is_child(model.nodes.size(), false);
            for (const tinygltf::Node& node : model.nodes) {
                for (const int child : node.children) {
                    if (child >= 0 && static_cast<size_t>(child) < is_child.size()) {
                        is_child[child] = true;
                    }
                }
            }
            for (size_t node = 0; node < model.nodes.size(); ++node) {
                if (!is_child[node]) {
                    roots.push_back(static_cast<int>(node));
                }
            }
        }
        for (const int root : roots) {
            if (!import_node(root, identity_matrix, 0)) {
                return false;
            }
        }
        if (build->parts.empty()) {
            return fail("the scene holds no mesh");
        }
        build->sphere = make_sphere(bounds, all_points);
        for (int axis = 0; axis < 3; ++axis) {
            build->box_minimum[axis] = static_cast<float>(bounds.minimum[axis]);
            build->box_maximum[axis] = static_cast<float>(bounds.maximum[axis]);
        }
        return true;
    }
};

}  // namespace

bool import_gltf_mesh(const GltfDocument& document, const MeshEntry& entry, renderer::MeshBuild* build,
                      std::string* error) {
    *build = {};
    Importer importer{document, entry, build, error, {}, {}, {}};
    return importer.run();
}

bool build_gltf_mesh(const MeshEntry& entry, renderer::MeshResources* resources, std::string* error) {
    GltfDocument document;
    renderer::MeshBuild build;
    if (!load_gltf_file(entry.source_path, &document, error) || !import_gltf_mesh(document, entry, &build, error)) {
        return false;
    }
    if (!renderer::build_mesh_resources(build, resources, error)) {
        *error = entry.source_path + ": " + entry.name + ": " + *error;
        return false;
    }
    return true;
}

}  // namespace zolt::tools
