#include "zolt/core/object_server/server_base.h"
#include "zolt/core/object_server/stream_words.h"
#include "zolt/renderer/shaders/shader_library.h"
#include "zolt/renderer/shaders/shader_tags.h"
#include "zolt/renderer/texture/texture_server.h"

namespace zolt::renderer::shader_library {

void save(storage::SaveStream& stream) {
    const ShaderLibraryState& state = get_library_state();
    core::write_u32(stream, state.resource);
    core::write_u32(stream, state.global_condition_flags);
    for (const uint8_t state_byte : state.state_bytes) {
        core::write_u8(stream, state_byte);
    }
    for (const uint32_t word : state.script_words) {
        core::write_u32(stream, word);
    }
    core::write_u32(stream, state.shader_time);
    for (uint32_t index = 0; index < user_vector_count; ++index) {
        core::write_bytes(stream, get_user_vector(index).words, sizeof(ConstantValue));
    }
    for (uint32_t slot = 0; slot < global_texture_slot_count; ++slot) {
        const TextureObject* const texture = get_committed_global_texture(slot);
        core::write_u32(stream, texture != nullptr ? texture->get_handle() : 0);
    }
}

bool load(storage::LoadStream& stream) {
    ShaderLibraryState loaded = get_library_state();
    bool read = core::read_u32(stream, loaded.resource) && core::read_u32(stream, loaded.global_condition_flags);
    for (uint8_t& state_byte : loaded.state_bytes) {
        read = read && core::read_u8(stream, state_byte);
    }
    for (uint32_t& word : loaded.script_words) {
        read = read && core::read_u32(stream, word);
    }
    read = read && core::read_u32(stream, loaded.shader_time);
    ConstantValue vectors[user_vector_count];
    for (ConstantValue& vector : vectors) {
        read = read && core::read_bytes(stream, vector.words, sizeof vector);
    }
    core::ObjectHandle textures[global_texture_slot_count] = {};
    for (core::ObjectHandle& handle : textures) {
        read = read && core::read_u32(stream, handle);
    }
    if (!read) {
        return false;
    }
    get_library_state() = loaded;
    for (uint32_t index = 0; index < user_vector_count; ++index) {
        set_user_vector(index, vectors[index]);
    }
    // The loaded world already counts the committed slots' references; the
    // slots were released when the servers stopped for the load.
    for (uint32_t slot = 0; slot < global_texture_slot_count; ++slot) {
        TextureObject* texture = nullptr;
        if (core::get_handle_server_type(textures[slot]) == core::server_type::texture) {
            texture = static_cast<TextureObject*>(core::get_object(textures[slot]));
        }
        restore_global_texture(slot, texture);
    }
    get_viewport_constants() = {};
    clear_renderer_textures();
    load_resource();
    return true;
}

}  // namespace zolt::renderer::shader_library
