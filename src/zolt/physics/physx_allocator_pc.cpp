#include "zolt/physics/physx_allocator_pc.h"

#include <cstdlib>

#include "libs/utility/fatal_error.h"

namespace zolt::physics {

void* PhysXAllocator::allocate(size_t size) {
    void* const block = std::malloc(size);
    if (block == nullptr) {
        ZOLT_PANIC("Out of memory");
    }
    return block;
}

void* PhysXAllocator::reallocate(void* block, size_t size) {
    if (size == 0) {
        release(block);
        return nullptr;
    }
    if (block == nullptr) {
        return allocate(size);
    }
    void* const moved = std::realloc(block, size);
    if (moved == nullptr) {
        ZOLT_PANIC("Out of memory");
    }
    return moved;
}

void PhysXAllocator::release(void* block) {
    std::free(block);
}

const char* get_sdk_create_error_text(platform::physics::SdkCreateError error) {
    using platform::physics::SdkCreateError;
    switch (error) {
    case SdkCreateError::no_error:
        return "No error.";
    case SdkCreateError::physx_not_found:
        return "Failed to find the PhysX libraries.";
    case SdkCreateError::wrong_version:
        return "The version number does not match with PhysX libraries.";
    case SdkCreateError::descriptor_invalid:
        return "Invalid PhysX SDK descriptor.";
    case SdkCreateError::connection_error:
        return "Failed to communicate with found PhysX hardware.";
    case SdkCreateError::reset_error:
        return "Failed to reset (or initialize) found PhysX hardware.";
    case SdkCreateError::in_use_error:
        return "A PhysX hardware is already in use.";
    case SdkCreateError::bundle_error:
        return "Failed to load the firmware to PhysX hardware.";
    }
    return "Unknown error.";
}

}  // namespace zolt::physics
