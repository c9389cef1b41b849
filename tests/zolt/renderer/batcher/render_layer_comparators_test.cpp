// The sorted layers' orders, field by field: each case differs in the field
// that must decide and also in a later one that must not.
#include <gtest/gtest.h>

#include <functional>

#include "zolt/renderer/batcher/render_layer_comparators.h"
#include "zolt/renderer/batcher/render_request.h"

namespace zolt::renderer {
namespace {

using Fill = std::function<void(RenderRequest&)>;

struct OrderCase {
    const char* name;
    bool (*compare)(uint32_t, uint32_t);
    Fill first;
    Fill second;
};

const ScissorRectangle* rectangle_at(uintptr_t address) {
    return reinterpret_cast<const ScissorRectangle*>(address);
}
const RenderValueProvider* provider_at(uintptr_t address) {
    return reinterpret_cast<const RenderValueProvider*>(address);
}

TEST(RenderLayerComparators, TheDecidingFieldWinsOverEveryLaterOne) {
    const OrderCase cases[] = {
        {"program: key", compare_by_program, [](RenderRequest& r) { r.sort_key = 1, r.view_depth = 9; },
         [](RenderRequest& r) { r.sort_key = 2, r.view_depth = 1; }},
        {"program: first sort byte", compare_by_program,
         [](RenderRequest& r) { r.sort_bytes[0] = 1, r.sort_bytes[1] = 9; },
         [](RenderRequest& r) { r.sort_bytes[0] = 2; }},
        {"program: shader", compare_by_program, [](RenderRequest& r) { r.shader_index = 3, r.object_id = 9; },
         [](RenderRequest& r) { r.shader_index = 4; }},
        {"program: clip rectangle", compare_by_program,
         [](RenderRequest& r) { r.clip_rectangle = rectangle_at(0x1000), r.object_id = 9; },
         [](RenderRequest& r) { r.clip_rectangle = rectangle_at(0x2000); }},
        {"program: view depth", compare_by_program, [](RenderRequest& r) { r.view_depth = 1; },
         [](RenderRequest& r) { r.view_depth = 2; }},
        {"provider", compare_by_provider,
         [](RenderRequest& r) { r.value_provider = provider_at(0x10), r.shader_index = 9; },
         [](RenderRequest& r) { r.value_provider = provider_at(0x20); }},
        {"back to front: farthest first", compare_back_to_front,
         [](RenderRequest& r) { r.eye_distance = 10, r.sort_key = 9; }, [](RenderRequest& r) { r.eye_distance = 5; }},
        {"back to front: key on ties", compare_back_to_front,
         [](RenderRequest& r) { r.sort_key = 1, r.shader_index = 9; }, [](RenderRequest& r) { r.sort_key = 2; }},
        {"key: object", compare_by_key, [](RenderRequest& r) { r.object_id = 1, r.view_depth = 9; },
         [](RenderRequest& r) { r.object_id = 2; }},
        {"key: nearest first", compare_by_key, [](RenderRequest& r) { r.view_depth = -1; },
         [](RenderRequest& r) { r.view_depth = 1; }},
        {"back to front by key", compare_back_to_front_by_key,
         [](RenderRequest& r) { r.eye_distance = 3, r.sort_key = 2, r.object_id = 9; },
         [](RenderRequest& r) { r.eye_distance = 3, r.sort_key = 5; }},
        {"object", compare_by_object, [](RenderRequest& r) { r.object_id = 1, r.sort_key = 9; },
         [](RenderRequest& r) { r.object_id = 2; }},
    };
    RenderRequest* const a = allocate_render_request();
    RenderRequest* const b = allocate_render_request();
    const uint32_t ia = a->heap_node.value;
    const uint32_t ib = b->heap_node.value;
    for (const OrderCase& order : cases) {
        *a = RenderRequest{};
        *b = RenderRequest{};
        a->heap_node.value = ia;
        b->heap_node.value = ib;
        order.first(*a);
        order.second(*b);
        EXPECT_TRUE(order.compare(ia, ib)) << order.name;
        EXPECT_FALSE(order.compare(ib, ia)) << order.name;
        EXPECT_FALSE(order.compare(ia, ia)) << order.name;
    }
    EXPECT_FALSE(compare_none(ia, ib));
    EXPECT_FALSE(compare_none(ib, ia));
    free_render_request(a);
    free_render_request(b);
}

}  // namespace
}  // namespace zolt::renderer
