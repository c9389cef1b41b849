#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "libs/geometry/quaternion.h"
#include "zolt/core/placement/placement_server.h"

namespace {

using zolt::geometry::Quaternion;
using zolt::geometry::Vector3;

constexpr int chain_count = 100;
constexpr int chain_length = 64;
constexpr int node_count = chain_count * chain_length;

// Two sets of local poses, alternated so that every round changes every bone.
struct LocalPoses {
    std::vector<Vector3> positions[2];
    std::vector<Quaternion> rotations[2];
    LocalPoses() {
        std::mt19937 random(17);
        std::uniform_real_distribution<float> coordinate(-1, 1);
        for (int set = 0; set < 2; ++set) {
            for (int node = 0; node < node_count; ++node) {
                positions[set].push_back({coordinate(random), coordinate(random), 1});
                rotations[set].push_back(zolt::geometry::normalize(
                    {coordinate(random) * 0.2f, coordinate(random) * 0.2f, coordinate(random) * 0.2f, 1}));
            }
        }
    }
};

const LocalPoses& get_local_poses() {
    static const LocalPoses poses;
    return poses;
}

// Bones as placements: each chain hangs from its own root. The server is not
// registered, so this runs beside the other benchmarks' servers.
std::vector<zolt::core::Placement*>& get_bones() {
    static std::vector<zolt::core::Placement*> bones = [] {
        std::vector<zolt::core::Placement*> created;
        for (int chain = 0; chain < chain_count; ++chain) {
            zolt::core::Placement* parent = nullptr;
            for (int link = 0; link < chain_length; ++link) {
                zolt::core::Placement* const bone = zolt::core::placement_server.create_placement();
                if (parent != nullptr) {
                    bone->set_parent(parent);
                }
                created.push_back(bone);
                parent = bone;
            }
        }
        return created;
    }();
    return bones;
}

void placement_resolve_zolt(benchmark::State& state) {
    const LocalPoses& poses = get_local_poses();
    std::vector<zolt::core::Placement*>& bones = get_bones();
    int set = 0;
    for (auto _ : state) {
        for (int node = 0; node < node_count; ++node) {
            bones[node]->set_local_position(poses.positions[set][node]);
            bones[node]->set_local_rotation(poses.rotations[set][node]);
        }
        float sum = 0;
        for (zolt::core::Placement* bone : bones) {
            sum += bone->get_world_position().x + bone->get_world_rotation().w;
        }
        benchmark::DoNotOptimize(sum);
        set ^= 1;
    }
    state.SetItemsProcessed(state.iterations() * node_count);
}

void placement_resolve_plain_compose(benchmark::State& state) {
    const LocalPoses& poses = get_local_poses();
    std::vector<Vector3> local_positions(node_count), world_positions(node_count);
    std::vector<Quaternion> local_rotations(node_count), world_rotations(node_count);
    int set = 0;
    for (auto _ : state) {
        for (int node = 0; node < node_count; ++node) {
            local_positions[node] = poses.positions[set][node];
            local_rotations[node] = poses.rotations[set][node];
        }
        float sum = 0;
        for (int chain = 0; chain < chain_count; ++chain) {
            const int first = chain * chain_length;
            world_positions[first] = local_positions[first];
            world_rotations[first] = local_rotations[first];
            for (int node = first + 1; node < first + chain_length; ++node) {
                world_positions[node] = zolt::geometry::rotate(world_rotations[node - 1], local_positions[node]) +
                                        world_positions[node - 1];
                world_rotations[node] = zolt::geometry::normalize(world_rotations[node - 1] * local_rotations[node]);
            }
            for (int node = first; node < first + chain_length; ++node) {
                sum += world_positions[node].x + world_rotations[node].w;
            }
        }
        benchmark::DoNotOptimize(sum);
        set ^= 1;
    }
    state.SetItemsProcessed(state.iterations() * node_count);
}

BENCHMARK(placement_resolve_zolt)->Name("placement_resolve/zolt");
BENCHMARK(placement_resolve_plain_compose)->Name("placement_resolve/plain_compose");

}  // namespace
