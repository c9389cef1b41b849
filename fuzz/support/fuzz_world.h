#pragma once
// The world of the world-load target: the object servers whose saved state
// it reads, and byte streams over plain buffers for saving and loading them.
#include <cstdint>
#include <vector>

namespace zolt::fuzz {

// Registers the alias, proxy, placement, physics, physics actor, string,
// array, dictionary and random-generator servers, once.
void start_fuzz_world();

void save_fuzz_world(std::vector<uint8_t>& bytes);
// The bytes are the whole stream; a read past them panics.
bool load_fuzz_world(std::vector<uint8_t>& bytes);

}  // namespace zolt::fuzz
