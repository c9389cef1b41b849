#include "platform/physics/physics_sdk.h"

#include <LinearMath/btAlignedAllocator.h>

#include <cstdlib>

#include "platform/physics/physics_scene.h"

namespace zolt::platform::physics {

namespace {

PhysicsSdk* live_sdk = nullptr;
SdkCreateError next_creation_failure = SdkCreateError::no_error;
CookingParameters cooking_parameters;
// Bullet's allocation hook has no context, so it reaches the allocator of
// the live SDK through this; blocks taken before it was set came from the C
// heap too, so either side may free them.
Allocator* hooked_allocator = nullptr;

void* allocate_through_hook(size_t size) {
    return hooked_allocator != nullptr ? hooked_allocator->allocate(size) : std::malloc(size);
}

void release_through_hook(void* block) {
    if (hooked_allocator != nullptr) {
        hooked_allocator->release(block);
    } else {
        std::free(block);
    }
}

}  // namespace

PhysicsSdk::PhysicsSdk(Allocator& allocator, OutputStream& output, const SdkDescriptor& descriptor)
    : output_(output), descriptor_(descriptor) {
    for (float& value : parameters_) {
        value = 0.0f;
    }
    parameters_[parameter::skin_width] = 0.025f;
    hooked_allocator = &allocator;
    btAlignedAllocSetCustom(allocate_through_hook, release_through_hook);
}

PhysicsSdk::~PhysicsSdk() {
    scenes_.clear();
}

bool PhysicsSdk::set_parameter(uint32_t id, float value) {
    if (id == 0 || id >= parameter::count) {
        return false;
    }
    parameters_[id] = value;
    return true;
}

Scene* PhysicsSdk::create_scene(const SceneDescriptor& descriptor) {
    const SceneTiming& timing = descriptor.timing;
    if (!(timing.max_timestep > 0.0f) || timing.max_iterations == 0 || descriptor.up_axis > 2) {
        output_.report_error(invalid_parameter_error, "invalid scene descriptor", __FILE__, __LINE__);
        return nullptr;
    }
    scenes_.push_back(std::make_unique<Scene>(*this, descriptor));
    return scenes_.back().get();
}

void PhysicsSdk::release_scene(Scene* scene) {
    for (auto it = scenes_.begin(); it != scenes_.end(); ++it) {
        if (it->get() == scene) {
            scenes_.erase(it);
            return;
        }
    }
}

PhysicsSdk* create_physics_sdk(uint32_t version, Allocator& allocator, OutputStream& output,
                               const SdkDescriptor& descriptor, SdkCreateError* error) {
    SdkCreateError result = next_creation_failure;
    next_creation_failure = SdkCreateError::no_error;
    if (result == SdkCreateError::no_error && version != sdk_version) {
        result = SdkCreateError::wrong_version;
    }
    if (result == SdkCreateError::no_error && live_sdk != nullptr) {
        result = SdkCreateError::in_use_error;
    }
    if (error != nullptr) {
        *error = result;
    }
    if (result != SdkCreateError::no_error) {
        return nullptr;
    }
    live_sdk = new PhysicsSdk(allocator, output, descriptor);
    return live_sdk;
}

void release_physics_sdk(PhysicsSdk* sdk) {
    if (sdk == nullptr) {
        return;
    }
    delete sdk;
    if (sdk == live_sdk) {
        live_sdk = nullptr;
        // Blocks still held by Bullet's own statics go back to the C heap.
        hooked_allocator = nullptr;
    }
}

void fail_next_sdk_creation(SdkCreateError error) {
    next_creation_failure = error;
}

void init_cooking(Allocator&, OutputStream&) {
    cooking_parameters = {};
}

void close_cooking() {}

CookingParameters get_cooking_parameters() {
    return cooking_parameters;
}

void set_cooking_parameters(const CookingParameters& parameters) {
    cooking_parameters = parameters;
}

}  // namespace zolt::platform::physics
