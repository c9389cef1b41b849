#include "platform/system/reserved_memory.h"

#include <sys/mman.h>

namespace zolt::platform {

uint8_t* reserve_memory_region(size_t size) {
    void* region = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    return region != MAP_FAILED ? static_cast<uint8_t*>(region) : nullptr;
}

}  // namespace zolt::platform
