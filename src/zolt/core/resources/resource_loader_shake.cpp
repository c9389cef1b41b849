#include <algorithm>
#include <cinttypes>
#include <cstring>
#include <functional>

#include "libs/utility/fatal_error.h"
#include "zolt/core/resources/resource_loader.h"
#include "zolt/core/resources/resource_object.h"

namespace zolt::core {

void ResourceLoader::shake_resources() {
    // Loads the loader thread is performing write into memory the shake
    // would move or free, and their records would be dropped under it.
    wait_until_idle();
    drop_textures_of_unmarked_packs(*this);

    uint32_t kept_count = 0;
    bool is_any_dropped = false;
    for (uint32_t index = 0; index < resource_count_; ++index) {
        ResourceInfo& info = resources_[index];
        const uint8_t state = info.get_state();
        if ((packs_[info.pack].flags & pack_flag::marked) != 0) {
            if (kept_count != index) {
                ResourceInfo& moved = resources_[kept_count];
                moved = info;
                if ((state & resource_state::open) != 0 && moved.data.object != nullptr) {
                    moved.data.object->set_info(&moved);
                }
            }
            ++kept_count;
            continue;
        }
        if ((state & resource_state::open) != 0) {
            ZOLT_PANIC("pack based resource 0x%08" PRIx32 " is still open during its unload", info.id);
        }
        if ((state & resource_state::in_memory) != 0) {
            free_aligned(info, info.data.memory, info.unpacked_size);
        }
        is_any_dropped = true;
    }
    resource_count_ = kept_count;
    if (!is_any_dropped) {
        return;
    }

    // Lowest memory first, so that every block slides into the space the
    // blocks below it left.
    for (uint32_t index = 0; index < resource_count_; ++index) {
        shake_order_[index] = index;
    }
    auto get_sort_address = [this](uint32_t index) -> const void* {
        const void* const memory = get_resource_memory(resources_[index]);
        return memory != nullptr ? memory : &resources_[index];
    };
    std::sort(shake_order_, shake_order_ + resource_count_, [&](uint32_t a, uint32_t b) {
        return std::less<const void*>()(get_sort_address(a), get_sort_address(b));
    });
    for (uint32_t position = 0; position < resource_count_; ++position) {
        slide_resource(resources_[shake_order_[position]]);
    }

    rebuild_hash();
    for (uint32_t index = 0; index < pack_count_; ++index) {
        if ((packs_[index].flags & pack_flag::marked) == 0) {
            packs_[index].flags &= ~pack_flag::directory_read;
        }
    }
}

void ResourceLoader::slide_resource(ResourceInfo& info) {
    const uint8_t state = info.get_state();
    if ((state & (resource_state::in_memory | resource_state::open)) == 0 ||
        (state & resource_state::load_pending) != 0) {
        return;
    }
    auto* const memory = static_cast<uint8_t*>(get_resource_memory(info));
    if (memory == nullptr) {
        return;
    }
    VariableMemoryPoolBase& pool = get_pool(info);
    const uint32_t alignment = 1u << io::get_alignment_exponent(info.flags);
    void* moved = nullptr;
    if (alignment <= 8) {
        moved = pool.slide(memory, info.unpacked_size, memory, info.unpacked_size, 0);
    } else {
        uint32_t block_offset = 0;
        std::memcpy(&block_offset, memory - sizeof block_offset, sizeof block_offset);
        moved = pool.slide(pool.get_block_at(block_offset), info.unpacked_size + alignment, memory, info.unpacked_size,
                           alignment);
    }
    if (moved == nullptr || moved == memory) {
        return;
    }
    if ((state & resource_state::open) != 0) {
        info.data.object->set_data(moved);
    } else {
        info.data.memory = moved;
    }
}

}  // namespace zolt::core
