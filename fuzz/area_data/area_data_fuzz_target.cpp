// A loadable area's layout and partition resources, as the engine checks
// them when the area is created: an accepted pair must allow every read the
// engine makes (records, lists, occluders, portals, and partition walks from
// every root for any point) without leaving either resource, and a refusal
// must name the area. Accepted occluders, whose floats are not checked, are
// taken out of a screen polygon as the portal walk does, which must stay
// within its buffers whatever the numbers.
// Input: the layout size as four little-endian bytes, the layout, then the
// partition.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "libs/geometry/box_silhouette.h"
#include "libs/geometry/screen_polygon.h"
#include "support/fuzz_entry.h"
#include "zolt/navigation/area_data.h"

namespace {

namespace fuzz = zolt::fuzz;
using namespace zolt::servers;

constexpr uint32_t fuzz_area_number = 7;

// A 64-pixel view from the origin along +x: the walk's projection of an
// occluder, taken out of the whole view's square.
void subtract_occluder(const zolt::geometry::OccluderBox& box) {
    namespace geometry = zolt::geometry;
    geometry::Matrix4 looking_along_x;
    looking_along_x.rows[0] = {0, 0, 1.002f, 1};
    looking_along_x.rows[1] = {-1, 0, 0, 0};
    looking_along_x.rows[2] = {0, 1, 0, 0};
    looking_along_x.rows[3] = {0, 0, -0.2f, 0};
    geometry::ScreenPoint outline[8];
    uint32_t outline_count = 0;
    if (!geometry::project_box_outline(looking_along_x, outline, outline_count, box, {0, 0, 0}, {64, 64, 0},
                                       {0, 0, 0})) {
        return;
    }
    fuzz::expect(outline_count <= 8, "an outline has more than 8 points");
    const geometry::ScreenPoint view[4] = {{0, 0}, {0, 64}, {64, 64}, {64, 0}};
    geometry::ScreenPoint left[geometry::screen_polygon_capacity];
    uint32_t left_count = 0;
    if (geometry::intersect_screen_polygons(view, 4, outline, outline_count, left, left_count)) {
        fuzz::expect(left_count <= geometry::occluded_polygon_capacity, "what an occluder leaves overflows");
    }
}

void read_accepted(const uint8_t* layout, const uint8_t* partition) {
    const uint32_t sector_count = read_area_word(layout, area_layout::sector_count);
    const uint32_t portal_count = read_area_word(layout, area_layout::portal_count);
    fuzz::expect(sector_count <= area_sector_slot_count, "an accepted area has more sectors than slots");
    for (uint32_t index = 0; index < sector_count; ++index) {
        const SectorRecord sector = read_sector_record(layout, index);
        const SectorListReference& occluders = sector.lists[static_cast<uint32_t>(SectorList::occluders)];
        for (uint32_t occluder = 0; occluder < occluders.count; ++occluder) {
            subtract_occluder(read_occluder(layout, occluders.offset, occluder));
        }
        for (uint32_t list = 1; list < sector_list_count; ++list) {
            for (uint32_t entry = 0; entry < sector.lists[list].count; ++entry) {
                read_area_word(layout, sector.lists[list].offset + 4 * entry);
            }
        }
    }
    for (uint32_t index = 0; index < portal_count; ++index) {
        read_portal_record(layout, index);
    }
    const uint32_t root_count = read_area_word(partition, area_partition::root_count);
    const zolt::geometry::Vector3 points[] = {{0, 0, 0}, {1e6f, -1e6f, 3}, {-2.5f, 7, -1e-3f}};
    for (uint32_t root = 0; root < root_count; ++root) {
        const PartitionRoot entry = read_partition_root(partition, root);
        fuzz::expect(entry.sector <= sector_count, "an accepted root names a sector past the count");
        for (const zolt::geometry::Vector3& point : points) {
            fuzz::expect(find_partition_leaf(partition, entry.first_node, point) <= sector_count,
                         "an accepted walk ends in a sector past the count");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4 || size > 16384) {
        return 0;
    }
    uint32_t layout_size;
    std::memcpy(&layout_size, data, sizeof layout_size);
    const auto rest = static_cast<uint32_t>(size - 4);
    layout_size = layout_size % (rest + 1);
    // Exactly sized copies, so the sanitizer sees any read past either one.
    const std::vector<uint8_t> layout(data + 4, data + 4 + layout_size);
    const std::vector<uint8_t> partition(data + 4 + layout_size, data + size);
    std::string error;
    const char* const expected = "area 7: resource 0x0008000";
    if (!check_area_layout(fuzz_area_number, layout.data(), layout_size, &error)) {
        fuzz::expect(error.rfind(expected, 0) == 0, "a refused layout does not name the area");
        return 0;
    }
    const uint32_t sector_count = read_area_word(layout.data(), area_layout::sector_count);
    if (!check_area_partition(fuzz_area_number, partition.data(), static_cast<uint32_t>(partition.size()), sector_count,
                              &error)) {
        fuzz::expect(error.rfind(expected, 0) == 0, "a refused partition does not name the area");
        return 0;
    }
    read_accepted(layout.data(), partition.data());
    return 0;
}
