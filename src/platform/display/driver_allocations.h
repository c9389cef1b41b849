#pragma once
// The window system and the GL driver keep some of their allocations for the
// life of the process and free others from libraries they have unloaded, so a
// leak checker cannot tell them from ours. Calls into them run inside this
// scope, which hides what they allocate from the leak checker when the
// program is built with one; otherwise it does nothing. Any thread.
namespace zolt::platform {

class DriverAllocationScope {
public:
    DriverAllocationScope();
    ~DriverAllocationScope();
    DriverAllocationScope(const DriverAllocationScope&) = delete;
    DriverAllocationScope& operator=(const DriverAllocationScope&) = delete;
};

}  // namespace zolt::platform
