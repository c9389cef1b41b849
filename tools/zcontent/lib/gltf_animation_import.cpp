#include "gltf_animation_import.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace zolt::tools {
namespace {

enum class Interpolation { step, linear, cubic_spline };

struct Track {
    std::vector<float> times;
    std::vector<float> values;  // components per key, three times over for cubic splines
    uint32_t components = 0;
    Interpolation interpolation = Interpolation::linear;
};

struct JointTracks {
    const Track* translation = nullptr;
    const Track* rotation = nullptr;
};

void slerp_double(const double* a, const double* b, double t, double* out) {
    double cosine = a[0] * b[0] + a[1] * b[1] + a[2] * b[2] + a[3] * b[3];
    const double sign = cosine < 0 ? -1.0 : 1.0;
    cosine = std::fabs(cosine);
    double weight_a = 1 - t, weight_b = t;
    if (cosine < 1 - 1e-9) {
        const double angle = std::acos(std::min(cosine, 1.0));
        weight_a = std::sin((1 - t) * angle) / std::sin(angle);
        weight_b = std::sin(t * angle) / std::sin(angle);
    }
    for (int lane = 0; lane < 4; ++lane) {
        out[lane] = weight_a * a[lane] + sign * weight_b * b[lane];
    }
}

void normalize_quaternion(double* q) {
    const double length = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    if (length > 0) {
        for (int lane = 0; lane < 4; ++lane) {
            q[lane] /= length;
        }
    }
}

// The track's value at a time in seconds, held at the first and last keys.
void sample_track(const Track& track, double time, double* out) {
    const uint32_t n = track.components;
    const bool cubic = track.interpolation == Interpolation::cubic_spline;
    // The value of key k (the middle of its triplet for cubic splines).
    auto value = [&](size_t key, uint32_t lane) {
        return double(track.values[(cubic ? key * 3 + 1 : key) * n + lane]);
    };
    const size_t keys = track.times.size();
    const auto after = std::upper_bound(track.times.begin(), track.times.end(), time);
    if (after == track.times.begin() || after == track.times.end()) {
        const size_t key = after == track.times.begin() ? 0 : keys - 1;
        for (uint32_t lane = 0; lane < n; ++lane) {
            out[lane] = value(key, lane);
        }
        if (n == 4) {
            normalize_quaternion(out);
        }
        return;
    }
    const size_t next = static_cast<size_t>(after - track.times.begin());
    const size_t key = next - 1;
    const double span = double(track.times[next]) - track.times[key];
    const double u = span > 0 ? (time - track.times[key]) / span : 0.0;
    switch (track.interpolation) {
    case Interpolation::step:
        for (uint32_t lane = 0; lane < n; ++lane) {
            out[lane] = value(key, lane);
        }
        break;
    case Interpolation::linear:
        if (n == 4) {
            double a[4], b[4];
            for (uint32_t lane = 0; lane < 4; ++lane) {
                a[lane] = value(key, lane);
                b[lane] = value(next, lane);
            }
            slerp_double(a, b, u, out);
        } else {
            for (uint32_t lane = 0; lane < n; ++lane) {
                out[lane] = value(key, lane) + (value(next, lane) - value(key, lane)) * u;
            }
        }
        break;
    case Interpolation::cubic_spline: {
        const double u2 = u * u, u3 = u2 * u;
        for (uint32_t lane = 0; lane < n; ++lane) {
            const double out_tangent = track.values[(key * 3 + 2) * n + lane];
            const double in_tangent = track.values[(next * 3) * n + lane];
            out[lane] = (2 * u3 - 3 * u2 + 1) * value(key, lane) + (u3 - 2 * u2 + u) * span * out_tangent +
                        (-2 * u3 + 3 * u2) * value(next, lane) + (u3 - u2) * span * in_tangent;
        }
        break;
    }
    }
    if (n == 4) {
        normalize_quaternion(out);
    }
}

bool read_track(const GltfDocument& document, const tinygltf::AnimationSampler& sampler, uint32_t components,
                const std::string& where, Track* track, std::string* error) {
    if (sampler.interpolation == "STEP") {
        track->interpolation = Interpolation::step;
    } else if (sampler.interpolation == "CUBICSPLINE") {
        track->interpolation = Interpolation::cubic_spline;
    } else {
        track->interpolation = Interpolation::linear;
    }
    track->components = components;
    if (!read_accessor_floats(document, sampler.input, 1, &track->times, error) ||
        !read_accessor_floats(document, sampler.output, components, &track->values, error)) {
        *error = where + ": " + *error;
        return false;
    }
    const size_t per_key = track->interpolation == Interpolation::cubic_spline ? 3 : 1;
    if (track->times.empty() || track->values.size() != track->times.size() * per_key * components) {
        *error = where + ": the values do not match the key times";
        return false;
    }
    for (size_t key = 0; key < track->times.size(); ++key) {
        if (!std::isfinite(track->times[key]) || track->times[key] < 0 ||
            (key > 0 && track->times[key] < track->times[key - 1])) {
            *error = where + ": key times do not ascend from 0";
            return false;
        }
    }
    for (const float value : track->values) {
        if (!std::isfinite(value)) {
            *error = where + ": a value is not finite";
            return false;
        }
    }
    return true;
}

template <typename T, typename Equal>
void collapse_when_constant(std::vector<T>& values, Equal equal) {
    for (const T& value : values) {
        if (!equal(value, values.front())) {
            return;
        }
    }
    values.resize(1);
}

}  // namespace

bool import_gltf_animation(const GltfDocument& document, const ImportedSkeleton& skeleton, const std::string& name,
                           const AnimationImportOptions& options, animation::AnimationDescription* description,
                           std::string* error) {
    const tinygltf::Model& model = document.model;
    int animation_index = -1;
    for (size_t index = 0; index < model.animations.size(); ++index) {
        if (name.empty() || model.animations[index].name == name) {
            animation_index = static_cast<int>(index);
            break;
        }
    }
    if (animation_index < 0) {
        *error = document.path + ": no animation" + (name.empty() ? std::string() : " named \"" + name + "\"");
        return false;
    }
    const tinygltf::Animation& source = model.animations[animation_index];
    const std::string where =
        document.path + ": animation " + (source.name.empty() ? std::to_string(animation_index) : source.name);
    if (!(options.frames_per_second > 0) || options.frames_per_second > 1000) {
        *error = where + ": frames per second must lie in (0, 1000]";
        return false;
    }
    std::map<int, uint32_t> bone_of_node;
    for (size_t bone = 0; bone < skeleton.joint_nodes.size(); ++bone) {
        bone_of_node[skeleton.joint_nodes[bone]] = static_cast<uint32_t>(bone);
    }
    std::vector<Track> tracks(source.channels.size());
    std::map<uint32_t, JointTracks> joints;
    double end_time = 0;
    for (size_t index = 0; index < source.channels.size(); ++index) {
        const tinygltf::AnimationChannel& channel = source.channels[index];
        const auto bone = bone_of_node.find(channel.target_node);
        // Other nodes and morph weights are not the skeleton's.
        if (bone == bone_of_node.end() || channel.target_path == "weights") {
            continue;
        }
        const std::string channel_where = where + ": channel " + std::to_string(index) + " (" +
                                          get_node_name(document, channel.target_node) + " " + channel.target_path +
                                          ")";
        if (channel.sampler < 0 || static_cast<size_t>(channel.sampler) >= source.samplers.size()) {
            *error = channel_where + ": names a missing sampler";
            return false;
        }
        const uint32_t components = channel.target_path == "rotation" ? 4 : 3;
        if (!read_track(document, source.samplers[channel.sampler], components, channel_where, &tracks[index], error)) {
            return false;
        }
        end_time = std::max(end_time, double(tracks[index].times.back()));
        if (channel.target_path == "scale") {
            const Track& scale = tracks[index];
            const bool cubic = scale.interpolation == Interpolation::cubic_spline;
            for (size_t key = 0; key < scale.times.size(); ++key) {
                for (uint32_t lane = 0; lane < 3; ++lane) {
                    // Cubic spline tangents are not values.
                    const float value = scale.values[(cubic ? key * 3 + 1 : key) * 3 + lane];
                    if (std::fabs(value - 1.0f) > 1e-4f) {
                        *error = channel_where + ": bones carry no scale";
                        return false;
                    }
                }
            }
        } else if (channel.target_path == "translation") {
            joints[bone->second].translation = &tracks[index];
        } else if (channel.target_path == "rotation") {
            joints[bone->second].rotation = &tracks[index];
        }
    }
    const double duration_ticks = std::round(end_time * animation_ticks_per_second);
    if (duration_ticks > 4294967295.0) {
        *error = where + ": longer than a 32-bit tick count";
        return false;
    }
    description->duration = static_cast<uint32_t>(duration_ticks);
    description->reported_word = 0;
    const double frame_estimate = std::round(end_time * options.frames_per_second) + 1;
    if (frame_estimate > 65535) {
        *error = where + ": too many frames";
        return false;
    }
    description->frame_count =
        description->duration == 0 ? 1 : std::max<uint32_t>(2, static_cast<uint32_t>(frame_estimate));
    description->channels.clear();
    description->events = options.events;
    const uint32_t frames = description->frame_count;
    for (const auto& [bone, joint] : joints) {
        const animation::SkeletonChannelDescription& rest = skeleton.bones[bone];
        animation::AnimationChannelDescription channel;
        channel.key = rest.key;
        channel.is_bone = true;
        for (uint32_t frame = 0; frame < frames; ++frame) {
            // The tick the engine gives this frame, as its frame lookup does.
            const uint64_t tick = frames > 1 ? uint64_t{frame} * description->duration / (frames - 1) : 0;
            const double seconds = double(tick) / animation_ticks_per_second;
            double value[4];
            if (joint.translation != nullptr) {
                sample_track(*joint.translation, seconds, value);
                channel.positions.push_back(
                    {static_cast<float>(value[0]), static_cast<float>(value[1]), static_cast<float>(value[2])});
            } else {
                channel.positions.push_back(rest.rest.position);
            }
            if (joint.rotation != nullptr) {
                sample_track(*joint.rotation, seconds, value);
                channel.rotations.push_back({static_cast<float>(value[0]), static_cast<float>(value[1]),
                                             static_cast<float>(value[2]), static_cast<float>(value[3])});
            } else {
                channel.rotations.push_back(rest.rest.rotation);
            }
        }
        collapse_when_constant(channel.positions, [](const geometry::Vector3& a, const geometry::Vector3& b) {
            return geometry::equal_xyz(a, b);
        });
        collapse_when_constant(channel.rotations, [](const geometry::Quaternion& a, const geometry::Quaternion& b) {
            return geometry::equal_xyzw(a, b);
        });
        description->channels.push_back(std::move(channel));
    }
    return true;
}

}  // namespace zolt::tools
