#pragma once
// The record of one view: a viewport's camera, a light's shadow pass or the
// warm-up view. Built on the stack for one view, made current while it is
// drawn, and filled by everybody who takes part: the sector walk adds
// sector views, the object servers add render items, the light code marks
// lights. Everything lives in fixed tables inside the record or in the
// caller's item array: building a view allocates nothing. Main thread only.
#include <cstdint>

#include "libs/geometry/frustum.h"
#include "libs/geometry/matrix.h"
#include "libs/geometry/quaternion.h"
#include "libs/geometry/rectangle.h"
#include "libs/geometry/vector.h"

namespace zolt::servers {
struct SectorRender;
}

namespace zolt::renderer {

constexpr uint32_t sector_view_capacity = 40;
constexpr uint32_t sector_index_count = 100;
constexpr uint32_t no_sector_view = 255;
constexpr uint32_t object_light_list_capacity = 80;
constexpr uint32_t fake_shadow_capacity = 40;
constexpr uint32_t render_item_array_size = 10000;

// Context flags.
constexpr uint32_t context_flag_light_view = 0x1;
constexpr uint32_t context_flag_no_clip_rectangles = 0x2;

struct SectorSet {
    uint32_t bits[4] = {};
    uint32_t lowest = sector_index_count;
    uint32_t highest = 0;

    bool contains(uint32_t index) const { return index < 128 && (bits[index / 32] >> (index % 32) & 1) != 0; }
    void add(uint32_t index);
};

struct LightSet {
    uint32_t bits[8] = {};
    uint32_t lowest = 255;
    uint32_t highest = 0;

    bool contains(uint32_t index) const { return index < 256 && (bits[index / 32] >> (index % 32) & 1) != 0; }
    // True when the bit was clear.
    bool add(uint32_t index);
};

struct SectorView {
    uint8_t walk_byte = 0;
    uint8_t queue_geometry = 1;
    const servers::SectorRender* sector = nullptr;
    geometry::Rectangle rectangle;
    geometry::Frustum clip_volume;
    uint32_t walk_words[2] = {};
    // The lights of the sector's geometry in this view, packed as an
    // object's light selection.
    uint64_t light_key = 0;
};

struct VisibilityContext;
struct RenderItem;
using RenderItemCallback = void (*)(VisibilityContext& context, RenderItem& item);

struct RenderItem {
    const geometry::Rectangle* clip_rectangle = nullptr;
    const geometry::Frustum* clip_volume = nullptr;
    const void* object = nullptr;
    const servers::SectorRender* sector = nullptr;
    uint64_t light_selection = 0;
    RenderItemCallback queue = nullptr;
    RenderItemCallback lights = nullptr;
    geometry::Rectangle own_rectangle;
};

struct FakeShadowEntry {
    const void* pointer = nullptr;
    uint32_t value = 0;
};

// What a spot light's shadow view is made of.
struct LightViewSource {
    geometry::Vector3 position;
    geometry::Quaternion rotation;
    float range = 0;
    // A full angle in turns.
    float cone_angle = 0;
};

// A rectangle in view-normalised coordinates 0 to 1, and whether the volume
// it bounds reaches behind the near plane.
struct NormalisedScreenRectangle {
    geometry::Rectangle rectangle;
    bool crosses_near = false;
};

struct VisibilityContext {
    uint32_t flags = 0;
    uint32_t layer_mask = 0;
    const SectorSet* sector_restriction = nullptr;
    uint32_t target_width = 0;
    uint32_t target_height = 0;
    geometry::Vector3 origin;
    geometry::Vector3 size;
    float first_shadow_split = 100;
    float shadow_distance = 500;
    uint32_t shadow_split_count = 0;
    geometry::Vector4 shadow_parameters;
    uint32_t view_mask = 0;
    geometry::Rectangle screen_rectangle;
    const servers::SectorRender* start_sector = nullptr;
    geometry::Vector3 eye;
    geometry::Quaternion orientation;
    geometry::ViewAxes axes;
    float near = 0;
    float far = 0;
    float fov_x = 0;
    float fov_y = 0;
    float orthographic_width = 0;
    float orthographic_height = 0;
    geometry::Matrix4 projection;
    geometry::Matrix4 view;
    geometry::Matrix4 inverse_view;
    geometry::Matrix4 view_projection;
    geometry::Plane depth_plane;
    geometry::Plane near_plane;
    geometry::Frustum frustum;
    RenderItem* items = nullptr;
    uint32_t item_capacity = 0;
    uint32_t item_count = 0;
    // The current object transform.
    geometry::Vector3 object_eye;
    geometry::Plane object_depth_plane;
    geometry::Vector3 object_rows[3];
    geometry::Vector3 object_position;
    uint8_t sector_view_count = 0;
    SectorView sector_views[sector_view_capacity];
    uint8_t sector_view_index[sector_index_count];
    SectorSet neighbour_sectors;
    LightSet visible_lights;
    LightSet object_lights;
    uint32_t object_light_count = 0;
    uint8_t object_light_list[object_light_list_capacity] = {};
    uint32_t object_light_flag = 0;
    uint32_t fake_shadow_capacity_ = fake_shadow_capacity;
    uint32_t fake_shadow_count = 0;
    FakeShadowEntry fake_shadows[fake_shadow_capacity];

    VisibilityContext();

    bool set_screen_rectangle(uint32_t mask, const geometry::Vector3& view_origin, const geometry::Vector3& view_size);
    void set_perspective_view(const servers::SectorRender* sector, const geometry::Vector3& position,
                              const geometry::Quaternion& rotation, float near_distance, float far_distance,
                              float horizontal_fov, float vertical_fov, bool linear);
    void set_orthographic_view(const servers::SectorRender* sector, float far_distance,
                               const geometry::Vector3& position, const geometry::Quaternion& rotation, float width,
                               float height);
    // Near 0.01, far the range raised to a power of two, both fields of view
    // the cone, linear depth; starts in the sector at the light, if any.
    void set_light_view(const LightViewSource& light);
    // An orthographic box along the orientation around the eight points,
    // one unit deep up to their farthest; extend deepens it toward the eye.
    void fit_orthographic_view(const geometry::Vector3 (&points)[8], const geometry::Quaternion& rotation);
    void extend_orthographic_view(float distance, float margin);
    void build_sector_clip_volumes();
    // Null when the sector has none.
    SectorView* find_sector_view(const servers::SectorRender* sector);
    // The existing entry, a new one, or null when 40 exist.
    SectorView* add_sector_view(const servers::SectorRender* sector);
    bool is_sector_in_portal_view(uint32_t sector_index) const;
    bool is_in_neighbour_sectors(uint32_t sector_index) const;
    // Each sector a location number names, into the set.
    static void add_neighbour_sectors(SectorSet& set, const uint32_t* locations, uint32_t count);
    void add_visible_light(uint32_t light_index) { visible_lights.add(light_index); }
    bool is_light_visible(uint32_t light_index) const { return visible_lights.contains(light_index); }
    void add_object_light(uint32_t light_index);
    bool accepts_layer_mask(uint32_t mask) const;
    // The next item, cleared; null when the array is full.
    RenderItem* allocate_item();
    bool add_fake_shadow(const void* pointer, uint32_t value);
    void set_object_transform(const geometry::Quaternion& rotation, const geometry::Vector3& position);
    geometry::Vector3 transform_object_point(const geometry::Vector3& point) const;
    // The depth of the box corner farthest along the view, not below 0.
    float get_box_max_depth(const geometry::Vector3& minimum, const geometry::Vector3& maximum) const;
    const geometry::Matrix4& get_view_projection_matrix() const { return view_projection; }
    const geometry::Plane& get_depth_plane() const { return depth_plane; }
    // The screen rectangle of a pyramid, apex first and then the four base
    // corners, and of a sphere: conservative, clamped to the view.
    NormalisedScreenRectangle get_pyramid_screen_rectangle(const geometry::Vector3 (&points)[5]) const;
    NormalisedScreenRectangle get_sphere_screen_rectangle(const geometry::Vector3& centre, float radius) const;
    // The sector geometry of every view that asks for it, then every item.
    void queue_requests();
};

// Set by whoever draws a view, cleared after it.
VisibilityContext* get_current_visibility_context();
void set_current_visibility_context(VisibilityContext* context);

// Measures of the current view; 0 without a current context. The extent
// is the distance from the eye to the last point of the view's frustum (a
// far corner of a perspective view).
float get_eye_distance(const geometry::Vector3& point);
float get_view_depth(const geometry::Vector3& point);
float get_view_extent();

// The render items of the viewport pass; shadow passes take its unused tail.
RenderItem* get_render_item_array();

// The sector walk's hook for queueing a sector view's geometry.
using SectorGeometryQueue = void (*)(VisibilityContext& context, SectorView& view);
void set_sector_geometry_queue(SectorGeometryQueue queue);

}  // namespace zolt::renderer
