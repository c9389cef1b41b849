// The walk is conservative: from random cameras (seeded) every room of
// which a brute-force GL render shows pixels (a block of 2 x 2 at least) is
// among the rooms the walk reached. The render draws each room's walls, floor and ceiling in a colour
// of its own, with holes where the doors are, and the pillars in green, with
// the view-projection matrix of the walk's own context on llvmpipe.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <vector>

#include "libs/opengl/opengl_capabilities.h"
#include "support/gl_context.h"
#include "zolt/navigation/room_levels.h"
#include "zolt/navigation/sector_walk.h"
#include "zolt/renderer/view/visibility_context.h"

namespace zolt::servers {
namespace {

using opengl::gl;
using geometry::Vector3;

// Rooms are drawn this much inside their boxes, so that the two faces of a
// shared wall never fight over depth.
constexpr float wall_inset = 0.005f;
constexpr uint8_t pillar_green = 255;

float get_axis(const Vector3& v, int axis) {
    return axis == 0 ? v.x : axis == 1 ? v.y : v.z;
}

void set_axis(Vector3& v, int axis, float value) {
    (axis == 0 ? v.x : axis == 1 ? v.y : v.z) = value;
}

struct Span {
    float low = 0, high = 0;
};

// One face of a room's box, at coordinate value on the axis, as a grid
// of cells cut at every door edge; cells inside a door are left open.
void draw_face(int axis, float value, float inset_value, const Vector3& low, const Vector3& high,
               const std::vector<AreaPortalDescription>& doors) {
    const int u_axis = (axis + 1) % 3, v_axis = (axis + 2) % 3;
    std::vector<Span> holes_u, holes_v;
    std::vector<float> cuts_u{get_axis(low, u_axis), get_axis(high, u_axis)};
    std::vector<float> cuts_v{get_axis(low, v_axis), get_axis(high, v_axis)};
    for (const AreaPortalDescription& door : doors) {
        bool on_face = true;
        Span u{1e9f, -1e9f}, v{1e9f, -1e9f};
        for (const Vector3& corner : door.corners) {
            on_face = on_face && std::fabs(get_axis(corner, axis) - value) < 1e-4f;
            u = {std::min(u.low, get_axis(corner, u_axis)), std::max(u.high, get_axis(corner, u_axis))};
            v = {std::min(v.low, get_axis(corner, v_axis)), std::max(v.high, get_axis(corner, v_axis))};
        }
        if (!on_face || u.low >= get_axis(high, u_axis) || u.high <= get_axis(low, u_axis) ||
            v.low >= get_axis(high, v_axis) || v.high <= get_axis(low, v_axis)) {
            continue;
        }
        holes_u.push_back(u);
        holes_v.push_back(v);
        cuts_u.insert(cuts_u.end(), {u.low, u.high});
        cuts_v.insert(cuts_v.end(), {v.low, v.high});
    }
    std::sort(cuts_u.begin(), cuts_u.end());
    std::sort(cuts_v.begin(), cuts_v.end());
    gl.glBegin(GL_QUADS);
    for (size_t i = 0; i + 1 < cuts_u.size(); ++i) {
        for (size_t j = 0; j + 1 < cuts_v.size(); ++j) {
            const float u0 = cuts_u[i], u1 = cuts_u[i + 1], v0 = cuts_v[j], v1 = cuts_v[j + 1];
            if (u1 <= u0 || v1 <= v0) {
                continue;
            }
            const float mu = (u0 + u1) / 2, mv = (v0 + v1) / 2;
            bool open = false;
            for (size_t hole = 0; hole < holes_u.size(); ++hole) {
                open = open || (mu > holes_u[hole].low && mu < holes_u[hole].high && mv > holes_v[hole].low &&
                                mv < holes_v[hole].high);
            }
            if (open) {
                continue;
            }
            for (const auto& [u, v] : {std::pair{u0, v0}, std::pair{u1, v0}, std::pair{u1, v1}, std::pair{u0, v1}}) {
                Vector3 point;
                set_axis(point, axis, inset_value);
                set_axis(point, u_axis, u);
                set_axis(point, v_axis, v);
                gl.glVertex3f(point.x, point.y, point.z);
            }
        }
    }
    gl.glEnd();
}

void draw_box(const Vector3& low, const Vector3& high) {
    gl.glBegin(GL_QUADS);
    for (int axis = 0; axis < 3; ++axis) {
        const int u_axis = (axis + 1) % 3, v_axis = (axis + 2) % 3;
        for (const float value : {get_axis(low, axis), get_axis(high, axis)}) {
            const float us[4] = {get_axis(low, u_axis), get_axis(high, u_axis), get_axis(high, u_axis),
                                 get_axis(low, u_axis)};
            const float vs[4] = {get_axis(low, v_axis), get_axis(low, v_axis), get_axis(high, v_axis),
                                 get_axis(high, v_axis)};
            for (int corner = 0; corner < 4; ++corner) {
                Vector3 point;
                set_axis(point, axis, value);
                set_axis(point, u_axis, us[corner]);
                set_axis(point, v_axis, vs[corner]);
                gl.glVertex3f(point.x, point.y, point.z);
            }
        }
    }
    gl.glEnd();
}

class SectorWalkIdBuffer : public test::GlContextTest {
protected:
    // Room i drawn in red i + 1.
    static void draw_level(const test::LevelDescription& level, const renderer::VisibilityContext& context) {
        gl.glViewport(0, 0, width, height);
        gl.glDisable(GL_DITHER);
        gl.glDisable(GL_CULL_FACE);
        gl.glDisable(GL_BLEND);
        gl.glClearColor(0, 0, 0, 1);
        gl.glClearDepth(1);
        gl.glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        gl.glEnable(GL_DEPTH_TEST);
        gl.glDepthFunc(GL_LESS);
        gl.glMatrixMode(GL_PROJECTION);
        gl.glLoadMatrixf(&context.view_projection.rows[0].x);
        gl.glMatrixMode(GL_MODELVIEW);
        gl.glLoadIdentity();
        for (size_t index = 0; index < level.get_rooms().size(); ++index) {
            const test::LevelCell cell = level.get_rooms()[index];
            const Vector3 low{test::room_size * static_cast<float>(cell.column),
                              test::room_size * static_cast<float>(cell.row), 0};
            const Vector3 high = low + Vector3{test::room_size, test::room_size, test::room_height};
            gl.glColor3ub(static_cast<uint8_t>(index + 1), 0, 0);
            for (int axis = 0; axis < 3; ++axis) {
                draw_face(axis, get_axis(low, axis), get_axis(low, axis) + wall_inset, low, high, level.get_doors());
                draw_face(axis, get_axis(high, axis), get_axis(high, axis) - wall_inset, low, high,
                          level.get_doors());
            }
        }
        gl.glColor3ub(0, pillar_green, 0);
        for (const geometry::Box& pillar : level.get_occluders()) {
            draw_box(pillar.minimum, pillar.maximum);
        }
        gl.glFinish();
    }

    // Rooms (by level index) that fill a block of 2 x 2 pixels somewhere. A
    // single row or column of pixels can come from an opening narrower than
    // a pixel, a sliver that the walk, which merges points closer than a
    // quarter pixel, may drop; such an opening shows nothing on its own.
    std::set<size_t> read_seen_rooms(size_t room_count) const {
        std::set<size_t> seen;
        const std::vector<uint8_t> colors = read_colors();
        const auto room_at = [&](uint32_t x, uint32_t y) -> uint32_t {
            const uint8_t* const pixel = &colors[(y * width + x) * 4];
            return pixel[1] == 0 && pixel[0] <= room_count ? pixel[0] : 0;
        };
        for (uint32_t y = 0; y + 1 < height; ++y) {
            for (uint32_t x = 0; x + 1 < width; ++x) {
                const uint32_t room = room_at(x, y);
                if (room != 0 && room_at(x + 1, y) == room && room_at(x, y + 1) == room &&
                    room_at(x + 1, y + 1) == room) {
                    seen.insert(room - 1u);
                }
            }
        }
        return seen;
    }

    // Runs the random cameras; answers how many saw a room other than
    // their own, so that the test shows it looked at something.
    uint32_t check_random_cameras(const test::LevelDescription& level, uint32_t seed, int camera_count) {
        const test::LevelWorld world(level);
        const std::vector<geometry::Box> pillars = level.get_occluders();
        std::mt19937 random(seed);
        std::uniform_real_distribution<float> unit(0, 1);
        uint32_t looking_beyond = 0;
        for (int camera = 0; camera < camera_count; ++camera) {
            const auto room_index = static_cast<size_t>(unit(random) * static_cast<float>(level.get_rooms().size()));
            const test::LevelCell cell = level.get_rooms()[std::min(room_index, level.get_rooms().size() - 1)];
            Vector3 eye;
            bool in_pillar = true;
            while (in_pillar) {
                eye = {test::room_size * (static_cast<float>(cell.column) + 0.06f + 0.88f * unit(random)),
                       test::room_size * (static_cast<float>(cell.row) + 0.06f + 0.88f * unit(random)),
                       0.6f + 2.8f * unit(random)};
                in_pillar = false;
                for (const geometry::Box& pillar : pillars) {
                    in_pillar = in_pillar || (eye.x > pillar.minimum.x - 0.3f && eye.x < pillar.maximum.x + 0.3f &&
                                              eye.y > pillar.minimum.y - 0.3f && eye.y < pillar.maximum.y + 0.3f);
                }
            }
            const float yaw = 360 * unit(random);
            renderer::VisibilityContext context;
            test::set_square_view(context, width, world.get_render(cell), eye, yaw);
            traverse_visible_sectors(context);
            draw_level(level, context);
            const std::set<size_t> seen = read_seen_rooms(level.get_rooms().size());
            for (const size_t index : seen) {
                const test::LevelCell seen_cell = level.get_rooms()[index];
                EXPECT_NE(context.find_sector_view(world.get_render(seen_cell)), nullptr)
                    << "camera " << camera << " at (" << eye.x << ", " << eye.y << ", " << eye.z << ") yaw " << yaw
                    << " sees room (" << seen_cell.column << ", " << seen_cell.row << ") that the walk missed";
            }
            looking_beyond += seen.size() > 1 ? 1 : 0;
        }
        return looking_beyond;
    }
};

TEST_F(SectorWalkIdBuffer, EveryRoomARenderShowsWasWalkedInTheSampleRooms) {
    for (const bool pillar : {false, true}) {
        EXPECT_GT(check_random_cameras(test::make_sample_rooms(pillar), pillar ? 11 : 12, 150), 30u);
    }
}

TEST_F(SectorWalkIdBuffer, EveryRoomARenderShowsWasWalkedInAGridOfDoorsAndPillars) {
    EXPECT_GT(check_random_cameras(test::make_room_grid(3, 3), 13, 200), 60u);
}

}  // namespace
}  // namespace zolt::servers
