#pragma once
// Skins imported from glTF: each joint becomes a bone whose key is the
// CRC-32 of its node's name (so animations from other files bind to it by
// name), its rest transform the node's translation and rotation, and its
// bind matrix the skin's inverse bind matrix. Also the per-vertex joint
// weights limited to what a vertex stream holds.
#include <cstdint>
#include <string>
#include <vector>

#include "gltf_document.h"
#include "libs/geometry/matrix.h"
#include "zolt/renderer/animation/skeleton_format.h"

namespace zolt::tools {

struct ImportedSkeleton {
    std::vector<int> joint_nodes;  // bone b is node joint_nodes[b]
    std::vector<animation::SkeletonChannelDescription> bones;
    std::vector<geometry::Matrix4> bind_matrices;
};

uint32_t get_joint_key(const std::string& name);

// The skin of the given name, or the first when name is empty. A joint's
// parent bone is its node's parent when that is a joint of the skin, else
// none. False, with a message naming the file, the skin and the joint, for a
// missing skin, more joints than a skeleton holds, a joint with a matrix or
// a scale other than 1, two joints with the same key, or inverse bind
// matrices that are missing some joint or unreadable.
bool import_gltf_skin(const GltfDocument& document, const std::string& name, ImportedSkeleton* skeleton,
                      std::string* error);

struct JointInfluence {
    uint16_t joint = 0;
    float weight = 0;
};

// Keeps at most limit of the influences, the heaviest first (the lower joint
// first among equals), drops weights that are not above 0 and scales the
// rest to a sum of 1. Answers how many were written to out.
uint32_t limit_joint_influences(const JointInfluence* influences, uint32_t count, uint32_t limit, JointInfluence* out);

}  // namespace zolt::tools
