#include "libs/opengl/occlusion_query.h"

#include "libs/opengl/opengl_capabilities.h"
#include "libs/opengl/opengl_config.h"
#include "libs/opengl/renderer_hooks.h"
#include "libs/utility/fatal_error.h"

namespace zolt::opengl {

namespace {

constexpr uint32_t no_record = UINT32_MAX;
// Fresh slots look this many frames old, so no result is found for them.
constexpr uint32_t fresh_stamp_age = 1000;

class OcclusionQueryPool {
public:
    OcclusionQueryPool() {
        for (uint32_t index = 0; index < occlusion_query_pool_size; ++index) {
            records_[index].next_free = index + 1 < occlusion_query_pool_size ? index + 1 : no_record;
        }
    }

    OcclusionQuery* take() {
        if (first_free_ == no_record) {
            return nullptr;
        }
        OcclusionQuery* record = &records_[first_free_];
        first_free_ = record->next_free;
        return record;
    }

    void give_back(OcclusionQuery* record) {
        record->next_free = first_free_;
        first_free_ = static_cast<uint32_t>(record - records_);
    }

private:
    OcclusionQuery records_[occlusion_query_pool_size];
    uint32_t first_free_ = 0;
};

OcclusionQueryPool occlusion_query_pool;

enum class QueryFunctions { core, arb };

QueryFunctions choose_query_functions() {
    if (capabilities.gl_1_5) {
        return QueryFunctions::core;
    }
    if (is_extension_present(Extension::ARB_occlusion_query)) {
        return QueryFunctions::arb;
    }
    ZOLT_PANIC("missing OpenGL entry point");
}

bool read_result_of_slot_stamped(const OcclusionQuery* query, uint32_t stamp, bool* visible) {
    for (uint32_t slot = 0; slot < 3; ++slot) {
        if (query->stamps[slot] == stamp) {
            *visible = openglGetOcclusionQueryResult(query->ids[slot]) != 0;
            return true;
        }
    }
    return false;
}

}  // namespace

OcclusionQuery* allocate_occlusion_query() {
    OcclusionQuery* query = occlusion_query_pool.take();
    if (query == nullptr) {
        return nullptr;
    }
    openglGenQueries(query);
    if (query->ids[0] == 0 || query->ids[1] == 0 || query->ids[2] == 0) {
        openglDeleteQueries(query);
        occlusion_query_pool.give_back(query);
        return nullptr;
    }
    return query;
}

void free_occlusion_query(OcclusionQuery* query) {
    if (query == nullptr) {
        return;
    }
    openglDeleteQueries(query);
    occlusion_query_pool.give_back(query);
}

void openglGenQueries(OcclusionQuery* query) {
    const QueryFunctions functions = choose_query_functions();
    const uint32_t stamp = read_completed_counter() - fresh_stamp_age;
    query->current_slot = 0;
    for (uint32_t slot = 0; slot < 3; ++slot) {
        query->stamps[slot] = stamp;
        query->ids[slot] = 0;
    }
    if (functions == QueryFunctions::core) {
        gl.glGenQueries(3, query->ids);
    } else {
        gl.glGenQueriesARB(3, query->ids);
    }
}

void openglDeleteQueries(OcclusionQuery* query) {
    const QueryFunctions functions = choose_query_functions();
    for (uint32_t slot = 0; slot < 3; ++slot) {
        if (query->ids[slot] == 0) {
            continue;
        }
        if (functions == QueryFunctions::core) {
            gl.glDeleteQueries(1, &query->ids[slot]);
        } else {
            gl.glDeleteQueriesARB(1, &query->ids[slot]);
        }
        query->ids[slot] = 0;
    }
}

void openglBeginOcclusionQuery(OcclusionQuery* query) {
    const QueryFunctions functions = choose_query_functions();
    const uint32_t frame = read_completed_counter();
    if (query->stamps[query->current_slot] != frame) {
        query->current_slot = (query->current_slot + 1) % 3;
    }
    query->stamps[query->current_slot] = frame;
    if (functions == QueryFunctions::core) {
        gl.glBeginQuery(GL_SAMPLES_PASSED, query->ids[query->current_slot]);
    } else {
        gl.glBeginQueryARB(GL_SAMPLES_PASSED, query->ids[query->current_slot]);
    }
}

void openglEndOcclusionQuery() {
    if (choose_query_functions() == QueryFunctions::core) {
        gl.glEndQuery(GL_SAMPLES_PASSED);
    } else {
        gl.glEndQueryARB(GL_SAMPLES_PASSED);
    }
}

uint32_t openglGetOcclusionQueryResult(uint32_t id) {
    GLuint result = 0;
    if (choose_query_functions() == QueryFunctions::core) {
        gl.glGetQueryObjectuiv(id, GL_QUERY_RESULT, &result);
    } else {
        gl.glGetQueryObjectuivARB(id, GL_QUERY_RESULT, &result);
    }
    return result;
}

bool get_delayed_occlusion_result(const OcclusionQuery* query, bool* visible) {
    return read_result_of_slot_stamped(query, read_completed_counter() - 2, visible);
}

bool get_current_occlusion_result(const OcclusionQuery* query, bool* visible) {
    return read_result_of_slot_stamped(query, read_completed_counter(), visible);
}

bool occlusion_queries_usable() {
    if (compatibility_fix_disable_occlusion_query ||
        (!capabilities.gl_1_5 && !is_extension_present(Extension::ARB_occlusion_query))) {
        return false;
    }
    GLint counter_bits = 0;
    if (choose_query_functions() == QueryFunctions::core) {
        gl.glGetQueryiv(GL_SAMPLES_PASSED, GL_QUERY_COUNTER_BITS, &counter_bits);
    } else {
        gl.glGetQueryivARB(GL_SAMPLES_PASSED, GL_QUERY_COUNTER_BITS, &counter_bits);
    }
    return counter_bits > 0;
}

}  // namespace zolt::opengl
