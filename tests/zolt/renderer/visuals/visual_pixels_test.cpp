// Textured cube visuals drawn through the whole view driver with the
// sample's textured object entry: every pixel is checked against a ray the
// test casts itself through the camera's projection into the cube, which
// says whether the cube covers it and, when it does, which texel its face's
// texture coordinates reach. Pixels within one pixel of a silhouette, face
// or texel edge are left out.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>

#include "zolt/renderer/backend/stream_fibres.h"
#include "zolt/renderer/visuals/visual_queue.h"
#include "zolt/renderer/visuals/visual_world.h"

namespace zolt::renderer {
namespace {

using test_support::Pixel;
namespace p = visual_property;

constexpr uint32_t textured_object_entry = 24;
constexpr uint32_t textured_cube_mesh = 2;
constexpr uint32_t cube_texture_id = 0x20007200;
constexpr uint32_t texels = 4;
constexpr float half_edge = 0.5f;
// In room 0, looking along +Y.
constexpr geometry::Vector3 eye{5, 1, 2};
constexpr int32_t picture_size = 64;

// Texel (x, y), y counting up from v = 0: a colour of its own.
Pixel texel_colour(uint32_t x, uint32_t y) {
    return {static_cast<uint8_t>(40 + 60 * x), static_cast<uint8_t>(40 + 60 * y), 160, 255};
}

test_support::TextureFixture make_texel_grid() {
    test_support::TextureFixture fixture;
    fixture.id = cube_texture_id;
    fixture.format = make_texture_format(TexelFormat::rgba8, TextureTarget::texture_2d, 1, TextureFilter::nearest, 0);
    fixture.width = fixture.height = texels;
    fixture.surfaces = test_support::make_surfaces(fixture.format, texels, texels, 1,
                                                   [](uint32_t, uint32_t, uint32_t x, uint32_t y, uint8_t* element) {
                                                       const Pixel colour = texel_colour(x, y);
                                                       // B, G, R, A bytes.
                                                       element[0] = colour[2];
                                                       element[1] = colour[1];
                                                       element[2] = colour[0];
                                                       element[3] = 255;
                                                   });
    return fixture;
}

// The fixture cube with a white vertex colour after its texture
// coordinates, as the textured entry reads its vertices.
MeshBuild make_textured_cube() {
    MeshBuild build = test_support::make_cube_build(half_edge, textured_object_entry, {cube_texture_id});
    for (MeshBuildStream& stream : build.streams) {
        if ((stream.format & stream_format_index) != 0) {
            continue;
        }
        std::vector<uint8_t> widened;
        const uint32_t stride = test_support::cube_vertex_stride;
        for (size_t at = 0; at < stream.bytes.size(); at += stride) {
            widened.insert(widened.end(), stream.bytes.begin() + static_cast<std::ptrdiff_t>(at),
                           stream.bytes.begin() + static_cast<std::ptrdiff_t>(at + stride));
            widened.insert(widened.end(), {255, 255, 255, 255});
        }
        stream.bytes = std::move(widened);
        stream.format = (stream.format & ~0xFFFu) | (stride + 4);
    }
    build.material_sets[0][0].tables[4].push_back(
        make_fibre_format(FibreSourceFormat::unsigned_byte_4_normalised, test_support::cube_vertex_stride));
    return build;
}

struct Placed {
    geometry::Vector3 position;
    geometry::Quaternion rotation;
    float scale = 1;
};

// What the pixel centre's ray meets first: the texel of the face it hits,
// or nothing.
std::optional<Pixel> cast(const Placed& cube, float pixel_x, float pixel_y) {
    const geometry::Vector3 world_direction{(pixel_x - picture_size / 2.0f) / (picture_size / 2.0f), 1,
                                            (pixel_y - picture_size / 2.0f) / (picture_size / 2.0f)};
    const geometry::Quaternion back = geometry::conjugate(cube.rotation);
    const geometry::Vector3 start = geometry::rotate(back, eye - cube.position);
    const geometry::Vector3 direction = geometry::rotate(back, world_direction);
    const float h = half_edge * cube.scale;
    const float origin[3] = {start.x, start.y, start.z};
    const float step[3] = {direction.x, direction.y, direction.z};
    float nearest = INFINITY;
    int hit_axis = -1;
    for (int axis = 0; axis < 3; ++axis) {
        for (const float side : {-h, h}) {
            if (std::fabs(step[axis]) < 1e-9f) {
                continue;
            }
            const float t = (side - origin[axis]) / step[axis];
            if (t <= 0 || t >= nearest) {
                continue;
            }
            bool inside = true;
            for (int other = 0; other < 3; ++other) {
                if (other != axis && std::fabs(origin[other] + t * step[other]) > h) {
                    inside = false;
                }
            }
            if (inside) {
                nearest = t;
                hit_axis = axis;
            }
        }
    }
    if (hit_axis < 0) {
        return std::nullopt;
    }
    // The face's texture coordinates as the fixture lays them: u along its
    // first edge from its corner, v along its second.
    const float hit[3] = {origin[0] + nearest * step[0], origin[1] + nearest * step[1], origin[2] + nearest * step[2]};
    const float x = hit[0] / h, y = hit[1] / h, z = hit[2] / h;
    float u = 0, v = 0;
    const bool positive = hit[hit_axis] > 0;
    switch (hit_axis) {
        case 2:
            u = positive ? (x + 1) / 2 : (1 - x) / 2;
            v = (y + 1) / 2;
            break;
        case 0:
            u = positive ? (1 - z) / 2 : (z + 1) / 2;
            v = (y + 1) / 2;
            break;
        default:
            u = (x + 1) / 2;
            v = positive ? (1 - z) / 2 : (z + 1) / 2;
            break;
    }
    const auto texel = [](float coordinate) {
        return std::min(texels - 1, static_cast<uint32_t>(std::max(0.0f, coordinate) * texels));
    };
    return texel_colour(texel(u), texel(v));
}

// What the pixel must show, or nothing when a silhouette, face or texel
// edge passes within one pixel of its centre.
std::optional<Pixel> expect_at(const std::vector<Placed>& cubes, int32_t x, int32_t y) {
    std::optional<Pixel> expected;
    bool first = true;
    for (const float dx : {-1.0f, 0.0f, 1.0f}) {
        for (const float dy : {-1.0f, 0.0f, 1.0f}) {
            std::optional<Pixel> seen;
            for (const Placed& cube : cubes) {
                if (const std::optional<Pixel> hit = cast(cube, x + 0.5f + dx, y + 0.5f + dy)) {
                    seen = hit;
                }
            }
            const Pixel shown = seen.value_or(Pixel{0, 0, 0, 255});
            if (first) {
                expected = shown;
                first = false;
            } else if (*expected != shown) {
                return std::nullopt;
            }
        }
    }
    return expected;
}

bool is_close(const Pixel& a, const Pixel& b) {
    for (size_t channel = 0; channel < 3; ++channel) {
        if (std::abs(int{a[channel]} - int{b[channel]}) > 2) {
            return false;
        }
    }
    return true;
}

class VisualPixels : public test_support::VisualWorld {
protected:
    void SetUp() override {
        use_sample_shader_library_ = true;
        test_support::add_mesh(extra_resources_, textured_cube_mesh, test_support::lay_out_mesh(make_textured_cube()));
        const test_support::TextureResources texture = test_support::lay_out(make_texel_grid());
        extra_resources_.push_back(test::make_resource(cube_texture_id, texture.header));
        extra_resources_.push_back(test::make_resource(get_resident_levels_id(cube_texture_id), texture.resident, 4));
        VisualWorld::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        make_camera_view();
    }

    // A viewport over the whole picture whose camera stands at the eye with
    // a 90-degree view; the view's items come from the visual server.
    void make_camera_view() {
        Camera* const camera = camera_server.create_camera();
        core::Property value;
        value.set_float(0x5000000, 0.25f);
        ASSERT_TRUE(camera->set_property(camera_property::horizontal_field_of_view, value));
        value.set_float(0x5000000, 0);
        ASSERT_TRUE(camera->set_property(camera_property::vertical_field_of_view, value));
        const float position[] = {eye.x, eye.y, eye.z};
        value.set_floats(0x3000000, position, 3);
        ASSERT_TRUE(camera->set_property(camera_property::position, value));
        viewport_ = static_cast<Viewport*>(viewport_server.create_object_internal(0));
        value.set_u32(0x10000FB, camera->get_handle());
        ASSERT_TRUE(viewport_->set_property(0x10000FB, value));
        // The layers a lit, textured visual needs; no glow over it.
        value.set_u32(0x30000FE, 0x0F3FF);
        ASSERT_TRUE(viewport_->set_property(0x30000FE, value));
    }

    Visual* place_cube(const Placed& cube) {
        Visual* const visual = visual_server.create_visual(textured_cube_mesh);
        core::Placement* const placement = make_placement(cube.position);
        placement->set_local_rotation(cube.rotation);
        core::Property value;
        value.set_u32(0x1000000, placement->get_handle());
        EXPECT_TRUE(visual->set_property(p::placement, value));
        EXPECT_TRUE(set_float(visual, p::uniform_scale, cube.scale));
        return visual;
    }

    // A frame as the engine runs it: the server passes, then the views.
    void draw_frame() {
        run_server_passes();
        // The first frame uploads the texture the materials bind.
        run_frame(nullptr);
        run_server_passes();
        ASSERT_TRUE(draw_view());
    }

    // Every pixel away from the edges shows what the rays predict; answers
    // how many pixels the cubes were seen to cover.
    uint32_t expect_picture(const std::vector<Placed>& cubes) {
        uint32_t covered = 0, mismatches = 0;
        for (int32_t y = 0; y < picture_size; ++y) {
            for (int32_t x = 0; x < picture_size; ++x) {
                const std::optional<Pixel> expected = expect_at(cubes, x, y);
                if (!expected) {
                    continue;
                }
                const Pixel shown = read_pixel(x, y);
                if (!is_close(shown, *expected)) {
                    if (++mismatches <= 8) {
                        ADD_FAILURE() << "pixel (" << x << ", " << y << ") shows " << int{shown[0]} << " "
                                      << int{shown[1]} << " " << int{shown[2]} << ", expected " << int{(*expected)[0]}
                                      << " " << int{(*expected)[1]} << " " << int{(*expected)[2]};
                    }
                } else if ((*expected)[2] != 0) {
                    ++covered;
                }
            }
        }
        EXPECT_EQ(mismatches, 0u);
        return covered;
    }
};

TEST_F(VisualPixels, ARotatedCubeCoversThePixelsItsCornersProjectToWithItsTexels) {
    const float half_angle = 0.3f;
    const Placed cube{{5.2f, 2.8f, 1.9f},
                      geometry::normalize({std::sin(half_angle) * 0.6f, std::sin(half_angle) * 0.48f,
                                           std::sin(half_angle) * 0.64f, std::cos(half_angle)}),
                      1};
    place_cube(cube);
    draw_frame();
    // Three faces in view; the pixels left once the texel edges are set
    // aside still cover each face.
    EXPECT_GT(expect_picture({cube}), 80u);
}

TEST_F(VisualPixels, DestroyingOneVisualOfASharedMeshKeepsTheOtherDrawn) {
    const Placed left{{4.2f, 4, 2}, geometry::identity_quaternion(), 1};
    const Placed right{{5.8f, 4, 2}, geometry::identity_quaternion(), 1};
    Visual* const first = place_cube(left);
    Visual* const second = place_cube(right);
    ASSERT_EQ(first->get_mesh(), second->get_mesh());
    draw_frame();
    const uint32_t both = expect_picture({left, right});
    EXPECT_GT(both, 30u);

    visual_server.destroy_object_internal(first);
    draw_frame();
    visual_server.release_dead_objects(true);
    mesh_server.release_dead_objects(true);
    ASSERT_NE(mesh_server.find_mesh(second->get_mesh()), nullptr);
    draw_frame();
    // The destroyed cube's pixels are expected black now.
    const uint32_t one = expect_picture({right});
    EXPECT_GT(one, 15u);
    EXPECT_LT(one, both);
}

}  // namespace
}  // namespace zolt::renderer
