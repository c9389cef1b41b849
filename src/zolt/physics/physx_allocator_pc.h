#pragma once
// What the physics SDK is handed by the engine: its allocator, whose failure
// is the fatal "Out of memory", and an output stream that keeps the SDK's
// messages out of the program's diagnostics. Both keep no state and may be
// called from the SDK's threads.
#include <cstddef>
#include <cstdint>

#include "platform/physics/physics_sdk.h"

namespace zolt::physics {

class PhysXAllocator final : public platform::physics::Allocator {
public:
    void* allocate(size_t size) override;
    // Size 0 frees the block and answers null; a null block allocates.
    void* reallocate(void* block, size_t size) override;
    void release(void* block) override;
};

class PhysXOutputStream final : public platform::physics::OutputStream {
public:
    void report_error(uint32_t code, const char* message, const char* file, int line) override {}
    // Reported as error 107; never breaks into a debugger.
    uint32_t report_assert_violation(const char* message, const char* file, int line) {
        report_error(assert_violation_code, message, file, line);
        return 0;
    }
    void print(const char* message) {}

    static constexpr uint32_t assert_violation_code = 107;
};

// The text of an SDK creation error, for "Failed to initialize PhysX SDK: %s".
const char* get_sdk_create_error_text(platform::physics::SdkCreateError error);

}  // namespace zolt::physics
