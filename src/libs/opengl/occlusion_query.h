#pragma once
// Occlusion queries with a ring of three GL queries each, so that a result is
// read two frames after its query was begun, when the GPU is done with it and
// reading does not stall. Slots are stamped with the completed-frame counter
// of the rendering commands. The 500 records come from a fixed pool; callers
// do without occlusion information when it is empty. Rendering thread only.
#include <cstdint>

namespace zolt::opengl {

struct OcclusionQuery {
    uint32_t ids[3] = {};
    uint32_t stamps[3] = {};
    uint32_t current_slot = 0;
    // The next free record's index while this one is free.
    uint32_t next_free = 0;
};

constexpr uint32_t occlusion_query_pool_size = 500;

// Null when the pool is empty or GL gave a query id of 0.
OcclusionQuery* allocate_occlusion_query();
// Null is ignored.
void free_occlusion_query(OcclusionQuery* query);

// The GL side of a record: ids from glGenQueries (GL 1.5) or glGenQueriesARB,
// stamps far in the past. Each wrapper panics with "missing OpenGL entry
// point" without GL 1.5 and GL_ARB_occlusion_query.
void openglGenQueries(OcclusionQuery* query);
void openglDeleteQueries(OcclusionQuery* query);
// Moves on to the next slot once per frame; a second begin in the same frame
// reuses the slot.
void openglBeginOcclusionQuery(OcclusionQuery* query);
void openglEndOcclusionQuery();
uint32_t openglGetOcclusionQueryResult(uint32_t id);

// The result of the query begun two frames ago; false when there is none.
bool get_delayed_occlusion_result(const OcclusionQuery* query, bool* visible);
// The result of the query begun in the current frame; false when there is none.
bool get_current_occlusion_result(const OcclusionQuery* query, bool* visible);

bool occlusion_queries_usable();

}  // namespace zolt::opengl
