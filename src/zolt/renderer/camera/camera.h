#pragma once
// Cameras (server type 32, 16 of them): a placement the camera creates and
// owns, and its lens: horizontal and vertical fields of view (turns; 0 or
// less means derive it), near and far distances, and a fourth value that is
// kept and copied but read by no view. A viewport takes a snapshot of its
// camera once per frame, which also finds the sector the camera is in; a
// camera that leaves every sector keeps the last one it was found in.
// Main thread only.
#include <cstdint>

#include "libs/geometry/quaternion.h"
#include "libs/geometry/vector.h"
#include "zolt/core/object_server/pooled_server.h"

namespace zolt::servers {
struct SectorRender;
}

namespace zolt::renderer {

constexpr uint32_t camera_server_type = 32;
constexpr uint32_t camera_capacity = 16;

namespace camera_property {
constexpr uint32_t placement = 0x100000A, position = 0x3000000B, rotation = 0x4100000C,
                   horizontal_field_of_view = 0x500003F, vertical_field_of_view = 0x5000040, near = 0x5000041,
                   fourth_lens_value = 0x5000042, far = 0x5000043;
}

// The camera part of a viewport's render record.
struct CameraSnapshot {
    // 0 when the viewport has no camera.
    uint8_t valid = 0;
    geometry::Vector3 position;
    geometry::Quaternion rotation;
    float horizontal_field_of_view = 0;
    float vertical_field_of_view = 0;
    float near = 0;
    float fourth_lens_value = 0;
    float far = 0;
    const servers::SectorRender* current_sector = nullptr;
    const servers::SectorRender* last_sector = nullptr;
};

class Camera final : public core::ServerObject {
public:
    void initialize(uint32_t) override;
    void finalize() override;
    void save(storage::SaveStream& stream) override;
    bool load(storage::LoadStream& stream) override;
    bool get_property(uint32_t id, core::Property& out) const override;
    bool set_property(uint32_t id, const core::Property& value) override;
    bool remove_property(uint32_t id) override;

    core::ObjectHandle get_placement() const { return placement_; }
    geometry::Vector3 get_world_position() const;
    geometry::Quaternion get_world_rotation() const;
    core::ObjectHandle get_current_sector() const { return current_sector_; }
    core::ObjectHandle get_last_sector() const { return last_sector_; }

    // Finds the sector at the camera, the current sector's area first; when
    // none holds it, only the current sector is cleared.
    void update_sector();
    // Fills the snapshot (and updates the sector); null gives an invalid one.
    static void copy_snapshot(Camera* camera, CameraSnapshot& out);

private:
    core::ObjectHandle placement_ = 0;
    float horizontal_field_of_view_ = 0;
    float vertical_field_of_view_ = 0;
    float near_ = 0;
    float fourth_lens_value_ = 0;
    float far_ = 0;
    core::ObjectHandle current_sector_ = 0;
    core::ObjectHandle last_sector_ = 0;
    core::ObjectHandle dictionary_ = 0;
};

class CameraServer final : public core::PooledServer<Camera, camera_capacity> {
public:
    CameraServer() : PooledServer(camera_server_type) {}

    const char* get_name() const override { return "CameraServer"; }

    Camera* create_camera() { return static_cast<Camera*>(create_object_internal(0)); }
};

extern CameraServer camera_server;

}  // namespace zolt::renderer
