#pragma once
// Two four-float vectors as eight 32-bit words, first then second: how
// placements (and physics) save pairs of rotations or vectors.
#include <cstring>
#include <type_traits>

#include "zolt/storage/load_stream.h"
#include "zolt/storage/save_stream.h"

namespace zolt::storage {

template <typename First, typename Second>
void write_vector_pair(SaveStream& stream, const First& first, const Second& second) {
    static_assert(sizeof(First) == 16 && sizeof(Second) == 16, "each vector is four floats");
    static_assert(std::is_trivially_copyable_v<First> && std::is_trivially_copyable_v<Second>);
    float words[8];
    std::memcpy(words, &first, 16);
    std::memcpy(words + 4, &second, 16);
    for (const float word : words) {
        stream.write_f32(word);
    }
}

// False, reading nothing, when fewer than 32 bytes are left.
template <typename First, typename Second>
bool read_vector_pair(LoadStream& stream, First& first, Second& second) {
    static_assert(sizeof(First) == 16 && sizeof(Second) == 16, "each vector is four floats");
    static_assert(std::is_trivially_copyable_v<First> && std::is_trivially_copyable_v<Second>);
    if (!stream.can_read(32)) {
        return false;
    }
    float words[8];
    for (float& word : words) {
        word = stream.read_f32();
    }
    std::memcpy(static_cast<void*>(&first), words, 16);
    std::memcpy(static_cast<void*>(&second), words + 4, 16);
    return true;
}

}  // namespace zolt::storage
