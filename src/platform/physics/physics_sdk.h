#pragma once
// The SDK object: the table of global parameters, the cooking parameters and
// the scenes. The engine hands it an allocator that every allocation of the
// simulation goes through and an output stream for the simulation's
// complaints. Creation answers null with an error code, as the engine's
// start-up expects. Main thread only.
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/physics/physics_types.h"

namespace zolt::platform::physics {

class Scene;

// Every block the simulation takes comes from here; it may be called from the
// secondary scene's worker thread.
class Allocator {
public:
    virtual ~Allocator() = default;
    virtual void* allocate(size_t size) = 0;
    virtual void* reallocate(void* block, size_t size) = 0;
    virtual void release(void* block) = 0;
};

class OutputStream {
public:
    virtual ~OutputStream() = default;
    virtual void report_error(uint32_t code, const char* message, const char* file, int line) = 0;
};

// Parameter numbers as the SDK numbers them.
namespace parameter {
constexpr uint32_t skin_width = 1, continuous_collision = 8;
constexpr uint32_t count = 110;
}  // namespace parameter

constexpr uint32_t sdk_version = 0x02080100;
// Reported through the output stream when a descriptor is refused.
constexpr uint32_t invalid_parameter_error = 1;

struct CookingParameters {
    uint32_t target_platform = 0;
    float skin_width = 0.025f;
    bool hint_collision_speed = false;
};

class PhysicsSdk {
public:
    PhysicsSdk(Allocator& allocator, OutputStream& output, const SdkDescriptor& descriptor);
    ~PhysicsSdk();
    PhysicsSdk(const PhysicsSdk&) = delete;
    PhysicsSdk& operator=(const PhysicsSdk&) = delete;

    float get_parameter(uint32_t id) const { return id < parameter::count ? parameters_[id] : 0.0f; }
    // False for an id the SDK does not have.
    bool set_parameter(uint32_t id, float value);
    // No hardware here: always 0, and every scene runs in software.
    uint32_t get_hardware_version() const { return 0; }
    const SdkDescriptor& get_descriptor() const { return descriptor_; }

    // Null when the descriptor is not one a scene can be built from.
    Scene* create_scene(const SceneDescriptor& descriptor);
    void release_scene(Scene* scene);
    uint32_t get_scene_count() const { return static_cast<uint32_t>(scenes_.size()); }

    OutputStream& get_output() { return output_; }

private:
    OutputStream& output_;
    SdkDescriptor descriptor_;
    float parameters_[parameter::count];
    std::vector<std::unique_ptr<Scene>> scenes_;
};

// Null with the error set when the version is not ours or a test asked for a
// failure; at most one SDK lives at a time.
PhysicsSdk* create_physics_sdk(uint32_t version, Allocator& allocator, OutputStream& output,
                               const SdkDescriptor& descriptor, SdkCreateError* error);
void release_physics_sdk(PhysicsSdk* sdk);
// The next creation fails with this error (tests reach the start-up failure).
void fail_next_sdk_creation(SdkCreateError error);

void init_cooking(Allocator& allocator, OutputStream& output);
void close_cooking();
CookingParameters get_cooking_parameters();
void set_cooking_parameters(const CookingParameters& parameters);

}  // namespace zolt::platform::physics
