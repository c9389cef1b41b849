#pragma once
// Scheduling priority of the calling thread.
namespace zolt::platform {

// Raises the calling thread one step above normal. Best effort: without the
// privilege to lower a nice value the thread keeps its priority.
void raise_current_thread_priority();

}  // namespace zolt::platform
