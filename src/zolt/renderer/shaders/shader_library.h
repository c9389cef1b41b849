#pragma once
// The shader library: the one global description of every way the renderer
// can draw, read in place from resource 0x10000 after one check of every
// index it holds. These globals keep the resource, the script-set words
// (condition flags, shader time, script words) and the state bytes; the
// conditions, selection, tag resolution and the library's slots are declared
// beside it. Loaded at GPU bring-up, carried in saves, unloaded at engine
// stop. Main (rendering) thread only; no locks.
#include <cstdint>

#include "zolt/core/object_server/object_handle.h"
#include "zolt/renderer/shaders/shader_library_format.h"
#include "zolt/renderer/shaders/shader_tags.h"

namespace zolt::storage {
class SaveStream;
class LoadStream;
}  // namespace zolt::storage

namespace zolt::renderer::shader_library {

struct ShaderLibraryContext;

constexpr uint32_t script_word_count = 4;
constexpr uint32_t state_byte_count = 2;
// The shader time runs through this cycle of 10-microsecond ticks (600 s).
constexpr uint32_t shader_time_cycle_ticks = 60000000;

struct ShaderLibraryState {
    core::ObjectHandle resource = 0;
    uint32_t global_condition_flags = 0;
    uint32_t shader_time = 0;
    uint32_t script_words[script_word_count] = {};
    uint8_t state_bytes[state_byte_count] = {};
};
ShaderLibraryState& get_library_state();
// The shader time's place in its cycle, from 0 up to 1.
float get_shader_time_fraction();
const ShaderLibraryHeader& get_library_header();

// Resolves the kept resource (opening resource 0x10000 when the handle names
// none), checks it once and makes it the loaded library. A library that the
// check refuses ends the program with the version error and the fault.
void load_resource();
// The check and the tables of load_resource, for library bytes that stay
// where they are while the library is loaded (tests bring their own).
void install_library(const uint8_t* data, uint32_t size);
// GPU bring-up: takes the library resource, loads it, detects the limits and
// capability flags; the state bytes become 1 and the script words 0.
void detect_limits();
// Engine stop: programs deleted, tables, overrides, vectors and slots
// cleared, committed global textures and the resource released.
void unload();
// Resource memory moved: the library is found and checked again.
void reload_after_resources_moved();

// The script words, state bytes, shader time, user vectors and committed
// global textures; load then loads the library again.
void save(storage::SaveStream& stream);
bool load(storage::LoadStream& stream);

// Conditions. An entry, variant or slot pass has a first condition, then
// runtime conditions (they need a drawable) and common ones.
enum class ConditionMode : uint32_t {
    runtime,   // selection for a material: runtime and common conditions
    hardware,  // the hardware check: the common ones only
};
bool evaluate_condition_type(uint32_t type, uint32_t parameter, ShaderLibraryContext& context);
// True when every condition passes (a count of 0 passes), tested in order.
bool evaluate_conditions(uint32_t first, uint32_t count, ShaderLibraryContext& context);
bool evaluate_condition_range(uint32_t first, uint32_t runtime_count, uint32_t common_count, ConditionMode mode,
                              ShaderLibraryContext& context);

// Selection. Variant 0 and entry 0 mean "none": the library reserves them.
constexpr uint32_t no_variant = 0;
constexpr uint32_t no_entry = 0;
struct ShaderSelection {
    uint32_t entry = no_entry;
    uint32_t variant = no_variant;
};
// An entry past the table has no usable variant.
uint32_t select_variant(uint32_t entry, ConditionMode mode, ShaderLibraryContext& context);
ShaderSelection find_fallback(uint32_t entry, ConditionMode mode, ShaderLibraryContext& context);
bool check_hardware_support();
// Ends start-up with the graphics-below-minimum exit code when the check fails.
void require_hardware_support();

// The first shader pass of setup 0 of slot 0 of entry 0's first variant,
// from which the default state is restored; no_shader_pass without one.
constexpr uint32_t no_shader_pass = 0xFFFFFFFF;
uint32_t get_default_shader_pass();

struct TagNumberList {
    const uint8_t* numbers = nullptr;
    uint32_t length = 0;
};
TagNumberList get_variant_texture_tags(uint32_t variant);
// 0 for an entry past the table.
uint32_t get_entry_flags(uint32_t entry);
// The entry's default tag tables, read in place (empty past the table).
struct EntryTagDefaults {
    TableReference<uint32_t> constant_tags;
    TableReference<uint32_t> texture_tags;
    TableReference<uint32_t> fibre_tags;
    int32_t fibre_parameter = -1;
};
EntryTagDefaults get_entry_tag_defaults(uint32_t entry);
// Both condition counts of the slot pass, for a material's context.
bool slot_pass_conditions_pass(uint32_t slot_pass_index, ShaderLibraryContext& context);
TagNumberList get_variant_constant_tags(uint32_t variant);

}  // namespace zolt::renderer::shader_library
