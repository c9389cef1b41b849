#include "zolt/renderer/viewport/viewport_builtins.h"

#include "zolt/builtins/builtin_binding.h"
#include "zolt/renderer/viewport/viewport_server.h"

namespace zolt::renderer {

namespace {

using ViewportHandle = core::BuiltinHandle<core::BuiltinKind::viewport_handle>;
using TextureHandle = core::BuiltinHandle<core::BuiltinKind::texture_handle>;
using Colour = core::BuiltinColour;

Viewport* find_viewport(ViewportHandle handle) {
    if (core::get_handle_server_type(handle.value) != viewport_server_type) {
        return nullptr;
    }
    return viewport_server.get_typed_object(handle.value);
}

TextureHandle get_viewport_texture(uint32_t slot, ViewportHandle handle) {
    const Viewport* const viewport = find_viewport(handle);
    return {viewport != nullptr && slot < viewport_texture_slot_count ? viewport->get_texture(slot) : 0};
}

void set_viewport_texture(TextureHandle texture, uint32_t slot, ViewportHandle handle) {
    Viewport* const viewport = find_viewport(handle);
    if (viewport == nullptr || slot >= viewport_texture_slot_count) {
        return;
    }
    if (texture.value == 0) {
        viewport->set_texture(slot, 0);
    } else if (core::get_handle_server_type(texture.value) == core::server_type::texture &&
               core::get_object(texture.value) != nullptr) {
        viewport->set_texture(slot, texture.value);
    }
}

geometry::Vector4 get_viewport_user_vector(uint32_t index, ViewportHandle handle) {
    Viewport* const viewport = find_viewport(handle);
    return viewport != nullptr && index < viewport_user_vector_count ? viewport->user_vector(index)
                                                                     : geometry::Vector4{};
}

float get_viewport_user_float(uint32_t index, ViewportHandle handle) {
    return get_viewport_user_vector(index, handle).x;
}

void set_viewport_user_vector(float w, float z, float y, float x, uint32_t index, ViewportHandle handle) {
    Viewport* const viewport = find_viewport(handle);
    if (viewport != nullptr && index < viewport_user_vector_count) {
        viewport->user_vector(index) = {x, y, z, w};
    }
}

void set_viewport_user_float(float x, uint32_t index, ViewportHandle handle) {
    set_viewport_user_vector(0, 0, 0, x, index, handle);
}

Colour get_viewport_clear_color() {
    return {viewport_server.get_clear_colour()};
}

void set_viewport_clear_color(Colour colour) {
    viewport_server.set_clear_colour(colour.value);
}

}  // namespace

void bind_viewport_builtins(core::BuiltinTable& table) {
    using core::BuiltinId;
    core::bind_builtin<BuiltinId::get_viewport_texture, &get_viewport_texture>(table);
    core::bind_builtin<BuiltinId::set_viewport_texture, &set_viewport_texture>(table);
    core::bind_builtin<BuiltinId::get_viewport_user_vector, &get_viewport_user_vector>(table);
    core::bind_builtin<BuiltinId::get_viewport_user_float, &get_viewport_user_float>(table);
    core::bind_builtin<BuiltinId::set_viewport_user_vector, &set_viewport_user_vector>(table);
    core::bind_builtin<BuiltinId::set_viewport_user_float, &set_viewport_user_float>(table);
    core::bind_builtin<BuiltinId::get_viewport_clear_color, &get_viewport_clear_color>(table);
    core::bind_builtin<BuiltinId::set_viewport_clear_color, &set_viewport_clear_color>(table);
}

}  // namespace zolt::renderer
