#include "gltf_skin_import.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>

#include "libs/utility/crc32.h"

namespace zolt::tools {
namespace {

// Scales within this of 1 count as none: exporters round.
constexpr double unit_scale_tolerance = 1e-4;

}  // namespace

uint32_t get_joint_key(const std::string& name) {
    return compute_crc32(name.data(), name.size());
}

bool import_gltf_skin(const GltfDocument& document, const std::string& name, ImportedSkeleton* skeleton,
                      std::string* error) {
    const tinygltf::Model& model = document.model;
    int skin_index = -1;
    for (size_t index = 0; index < model.skins.size(); ++index) {
        if (name.empty() || model.skins[index].name == name) {
            skin_index = static_cast<int>(index);
            break;
        }
    }
    if (skin_index < 0) {
        *error = document.path + ": no skin" + (name.empty() ? std::string() : " named \"" + name + "\"");
        return false;
    }
    const tinygltf::Skin& skin = model.skins[skin_index];
    const std::string where = document.path + ": skin " + (skin.name.empty() ? std::to_string(skin_index) : skin.name);
    if (skin.joints.empty() || skin.joints.size() > animation::maximum_skeleton_bones) {
        *error = where + ": has " + std::to_string(skin.joints.size()) + " joints; a skeleton holds 1 to " +
                 std::to_string(animation::maximum_skeleton_bones);
        return false;
    }
    std::vector<int> parent_of(model.nodes.size(), -1);
    for (size_t node = 0; node < model.nodes.size(); ++node) {
        for (const int child : model.nodes[node].children) {
            if (child >= 0 && static_cast<size_t>(child) < model.nodes.size()) {
                parent_of[child] = static_cast<int>(node);
            }
        }
    }
    std::vector<float> inverse_binds;
    if (skin.inverseBindMatrices >= 0) {
        if (!read_accessor_floats(document, skin.inverseBindMatrices, 16, &inverse_binds, error)) {
            *error = where + ": inverse bind matrices: " + *error;
            return false;
        }
        if (inverse_binds.size() < skin.joints.size() * 16) {
            *error = where + ": fewer inverse bind matrices than joints";
            return false;
        }
    }
    std::map<int, uint32_t> bone_of_node;
    for (size_t bone = 0; bone < skin.joints.size(); ++bone) {
        const int node = skin.joints[bone];
        if (node < 0 || static_cast<size_t>(node) >= model.nodes.size() || bone_of_node.count(node) != 0) {
            *error = where + ": joint " + std::to_string(bone) + " names a missing or repeated node";
            return false;
        }
        bone_of_node[node] = static_cast<uint32_t>(bone);
    }
    skeleton->joint_nodes.assign(skin.joints.begin(), skin.joints.end());
    skeleton->bones.assign(skin.joints.size(), {});
    skeleton->bind_matrices.assign(skin.joints.size(), {});
    std::map<uint32_t, std::string> names_by_key;
    for (size_t bone = 0; bone < skin.joints.size(); ++bone) {
        const int node_index = skin.joints[bone];
        const tinygltf::Node& node = model.nodes[node_index];
        const std::string joint_name = get_node_name(document, node_index);
        const std::string joint = where + ": joint \"" + joint_name + "\"";
        if (!node.matrix.empty()) {
            *error = joint + " is placed by a matrix; give it translation and rotation";
            return false;
        }
        if (node.scale.size() == 3 && (std::fabs(node.scale[0] - 1) > unit_scale_tolerance ||
                                       std::fabs(node.scale[1] - 1) > unit_scale_tolerance ||
                                       std::fabs(node.scale[2] - 1) > unit_scale_tolerance)) {
            *error = joint + " is scaled; bones carry no scale";
            return false;
        }
        animation::SkeletonChannelDescription& description = skeleton->bones[bone];
        description.key = get_joint_key(joint_name);
        const auto [existing, inserted] = names_by_key.emplace(description.key, joint_name);
        if (!inserted) {
            *error = joint + " has the same key as joint \"" + existing->second + "\"";
            return false;
        }
        const int parent = parent_of[node_index];
        description.parent =
            parent >= 0 && bone_of_node.count(parent) != 0 ? bone_of_node[parent] : animation::no_parent;
        // A plain node between two joints would move the lower one in the
        // file but not in the skeleton.
        if (description.parent == animation::no_parent) {
            // Bounded: a broken file may link its nodes in a ring.
            size_t steps = 0;
            for (int above = parent; above >= 0 && steps < model.nodes.size(); above = parent_of[above], ++steps) {
                if (bone_of_node.count(above) != 0) {
                    *error = joint + " hangs from joint \"" + get_node_name(document, above) + "\" through node \"" +
                             get_node_name(document, parent) + "\", which is no joint";
                    return false;
                }
            }
        }
        if (node.translation.size() == 3) {
            description.rest.position = {static_cast<float>(node.translation[0]),
                                         static_cast<float>(node.translation[1]),
                                         static_cast<float>(node.translation[2])};
        }
        if (node.rotation.size() == 4) {
            description.rest.rotation =
                geometry::normalize({static_cast<float>(node.rotation[0]), static_cast<float>(node.rotation[1]),
                                     static_cast<float>(node.rotation[2]), static_cast<float>(node.rotation[3])});
        }
        // glTF keeps column-vector matrices column by column; that is the
        // row-vector matrix row by row.
        if (!inverse_binds.empty()) {
            const float* values = inverse_binds.data() + bone * 16;
            for (geometry::Vector4& row : skeleton->bind_matrices[bone].rows) {
                row = {values[0], values[1], values[2], values[3]};
                values += 4;
            }
        }
    }
    return true;
}

uint32_t limit_joint_influences(const JointInfluence* influences, uint32_t count, uint32_t limit, JointInfluence* out) {
    std::vector<JointInfluence> kept;
    for (uint32_t index = 0; index < count; ++index) {
        if (influences[index].weight > 0) {
            kept.push_back(influences[index]);
        }
    }
    std::sort(kept.begin(), kept.end(), [](const JointInfluence& a, const JointInfluence& b) {
        return a.weight != b.weight ? a.weight > b.weight : a.joint < b.joint;
    });
    kept.resize(std::min<size_t>(kept.size(), limit));
    double sum = 0;
    for (const JointInfluence& influence : kept) {
        sum += influence.weight;
    }
    for (size_t index = 0; index < kept.size(); ++index) {
        out[index] = {kept[index].joint, static_cast<float>(kept[index].weight / sum)};
    }
    return static_cast<uint32_t>(kept.size());
}

}  // namespace zolt::tools
