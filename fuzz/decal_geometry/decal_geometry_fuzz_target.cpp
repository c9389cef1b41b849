// Decal geometry resources as the decal code reads them: an accepted
// resource gives every triangle it names from inside its own bytes (the
// sanitizer sees any stray read of the exactly sized copy), and projecting a
// decal onto those triangles keeps every clipped polygon within its nine
// vertices.
#include <cstdint>
#include <cstring>

#include "support/fuzz_entry.h"
#include "zolt/renderer/decals/decal_geometry.h"
#include "zolt/renderer/decals/decal_projection.h"

namespace {

namespace fuzz = zolt::fuzz;
using namespace zolt::renderer;

void check_geometry(const uint8_t* data, uint32_t size) {
    DecalGeometry geometry;
    if (!geometry.open(data, size)) {
        return;
    }
    DecalFrame frame;
    frame.tangent = {1, 0, 0};
    frame.bitangent = {0, 1, 0};
    frame.normal = {0, 0, 1};
    frame.width = 2;
    frame.height = 2;
    zolt::geometry::Plane box[decal_box_plane_count];
    build_decal_box(frame, 1, box);
    const uint32_t count = geometry.get_triangle_count();
    // Counts come from the bytes; the tables they need bound them already.
    for (uint32_t number = 0; number < count && number < 4096; ++number) {
        uint16_t flags = 0;
        fuzz::expect(geometry.get_flags(number, &flags), "a counted triangle has no flags");
        DecalSourceTriangle triangle;
        if (!geometry.get_triangle(number, triangle)) {
            continue;
        }
        zolt::geometry::ConvexPolygon<9> polygon;
        const bool finished = fuzz::run_until_fatal_report([&] { clip_triangle_to_box(triangle.positions, box, polygon); });
        fuzz::expect(finished, "clipping one triangle overran its polygon");
        for (uint32_t index = 0; index < polygon.count; ++index) {
            make_projected_vertex(frame, triangle, polygon.vertices[index], 0);
        }
    }
    uint16_t flags = 0;
    fuzz::expect(!geometry.get_flags(count, &flags), "a triangle past the count answered");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 65536) {
        return 0;
    }
    const uint32_t length = static_cast<uint32_t>(size);
    uint8_t* const resource = new uint8_t[length == 0 ? 1 : length];
    std::memcpy(resource, data, length);
    check_geometry(resource, length);
    delete[] resource;
    return 0;
}
