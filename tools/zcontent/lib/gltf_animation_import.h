#pragma once
// Animations imported from glTF onto an imported skin: every joint that an
// animation moves gets a bone channel whose translation and rotation are
// resampled (step, linear or cubic spline, as the file says) at evenly
// spaced frames in ticks of 10 microseconds, the frame times the engine's
// frame lookup uses. A value that never changes is stored as a constant.
// Joints the animation leaves alone get no channel: they keep their rest
// pose. Events come from the content description, not from glTF.
#include <cstdint>
#include <string>
#include <vector>

#include "gltf_document.h"
#include "gltf_skin_import.h"
#include "zolt/renderer/animation/animation_format.h"

namespace zolt::tools {

constexpr double animation_ticks_per_second = 100000.0;

struct AnimationImportOptions {
    double frames_per_second = 30.0;
    std::vector<animation::AnimationEvent> events;  // times in ticks
};

// The animation of the given name, or the first when name is empty. False,
// with a message naming the file, the animation and the channel, for a
// missing animation, a sampler whose times do not ascend or whose values do
// not match them, a scale that is animated away from 1, or a length beyond
// the 32-bit tick count.
bool import_gltf_animation(const GltfDocument& document, const ImportedSkeleton& skeleton, const std::string& name,
                           const AnimationImportOptions& options, animation::AnimationDescription* description,
                           std::string* error);

}  // namespace zolt::tools
