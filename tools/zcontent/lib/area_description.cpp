#include "area_description.h"

#include <cmath>
#include <map>
#include <nlohmann/json.hpp>
#include <set>

#include "json_document.h"
#include "zolt/navigation/area_builder.h"
#include "zpack/lib/pack_writer.h"

namespace zolt::tools {
namespace {

using Json = nlohmann::json;
using geometry::Vector3;
using geometry::Vector4;

constexpr uint32_t largest_area_number = 0x7FFF;
constexpr uint32_t largest_portal_count = 0xFFFF;
// Deep enough for any hand-written partition, shallow enough for the stack.
constexpr int deepest_partition_tree = 64;
// How far from a portal the engine probes for the sectors on its sides.
constexpr float portal_probe_distance = 0.01f;
// Corners further than this from the portal's plane make a bent quad.
constexpr float portal_flatness_tolerance = 1e-3f;

struct Context {
    std::string path;
    std::string* error;

    bool fail(const std::string& where, const std::string& problem) const {
        *error = path + ": " + where + ": " + problem;
        return false;
    }
};

bool check_keys(const Json& object, std::initializer_list<const char*> known, const Context& context,
                const std::string& where) {
    const std::string problem = find_json_key_problem(object, known);
    return problem.empty() || context.fail(where, problem);
}

bool read_numbers(const Json& item, size_t count, float* values, const Context& context, const std::string& where) {
    if (!item.is_array() || item.size() != count) {
        return context.fail(where, "expected " + std::to_string(count) + " numbers, not " + quote_json_value(item));
    }
    for (size_t index = 0; index < count; ++index) {
        const Json& number = item[index];
        if (!number.is_number() || !std::isfinite(number.get<double>()) || std::fabs(number.get<double>()) > 1e30) {
            return context.fail(
                where, "expected " + std::to_string(count) + " finite numbers, not " + quote_json_value(number));
        }
        values[index] = static_cast<float>(number.get<double>());
    }
    return true;
}

bool read_point(const Json& item, Vector3* point, const Context& context, const std::string& where) {
    float values[3];
    if (!read_numbers(item, 3, values, context, where)) {
        return false;
    }
    *point = {values[0], values[1], values[2]};
    return true;
}

// A plane (nx, ny, nz, d) whose inside (the partition's front) is n.p >= d.
bool read_plane(const Json& item, Vector4* plane, const Context& context, const std::string& where) {
    float values[4];
    if (!read_numbers(item, 4, values, context, where)) {
        return false;
    }
    const float length = std::sqrt(values[0] * values[0] + values[1] * values[1] + values[2] * values[2]);
    if (!(length > 1e-6f)) {
        return context.fail(where, "the plane's normal is zero");
    }
    *plane = {values[0], values[1], values[2], values[3]};
    return true;
}

bool read_box(const Json& item, geometry::Box* box, const Context& context, const std::string& where) {
    if (!item.is_array() || item.size() != 2) {
        return context.fail(where, "expected [[minimum x, y, z], [maximum x, y, z]], not " + quote_json_value(item));
    }
    if (!read_point(item[0], &box->minimum, context, where) || !read_point(item[1], &box->maximum, context, where)) {
        return false;
    }
    if (!(box->minimum.x <= box->maximum.x && box->minimum.y <= box->maximum.y && box->minimum.z <= box->maximum.z)) {
        return context.fail(where, "the minimum lies above the maximum");
    }
    return true;
}

bool read_flag(const Json& object, const char* key, bool* value, const Context& context, const std::string& where) {
    if (!object.contains(key)) {
        return true;
    }
    if (!object[key].is_boolean()) {
        return context.fail(
            where, "\"" + std::string(key) + "\": expected true or false, not " + quote_json_value(object[key]));
    }
    *value = object[key].get<bool>();
    return true;
}

// A sector as the description gives it, before its lists are resolved.
struct SectorSource {
    std::string name;
    geometry::Box box;
    std::vector<Vector4> planes;
};

struct AreaSource {
    uint32_t number = 0;
    std::string where;
    std::vector<SectorSource> sectors;
    std::map<std::string, uint32_t> slot_of_name;  // 1-based
};

bool contains_point(const SectorSource& sector, const Vector3& point) {
    const geometry::Box& box = sector.box;
    if (point.x < box.minimum.x || point.x > box.maximum.x || point.y < box.minimum.y || point.y > box.maximum.y ||
        point.z < box.minimum.z || point.z > box.maximum.z) {
        return false;
    }
    for (const Vector4& plane : sector.planes) {
        if (plane.x * point.x + plane.y * point.y + plane.z * point.z - plane.w < 0) {
            return false;
        }
    }
    return true;
}

bool find_sector_name(const Json& item, const AreaSource& area, uint32_t* slot, const Context& context,
                      const std::string& where) {
    if (!item.is_string()) {
        return context.fail(where, "expected a sector name, not " + quote_json_value(item));
    }
    const auto found = area.slot_of_name.find(item.get<std::string>());
    if (found == area.slot_of_name.end()) {
        return context.fail(where, "no sector is named " + quote_json_value(item));
    }
    *slot = found->second;
    return true;
}

// A list of sector locations: names of this area's sectors, or location
// numbers (area << 16 | record) for sectors of other areas.
bool read_locations(const Json& object, const char* key, const AreaSource& area, std::vector<uint32_t>* locations,
                    const Context& context, const std::string& where) {
    if (!object.contains(key)) {
        return true;
    }
    const std::string at = where + ": \"" + key + "\"";
    const Json& list = object[key];
    if (!list.is_array()) {
        return context.fail(at, "expected an array of sector names or location numbers");
    }
    for (size_t index = 0; index < list.size(); ++index) {
        const std::string item_where = at + "[" + std::to_string(index) + "]";
        uint64_t number = 0;
        uint32_t slot = 0;
        if (list[index].is_string() && list[index].get_ref<const std::string&>().rfind("0x", 0) != 0) {
            if (!find_sector_name(list[index], area, &slot, context, item_where)) {
                return false;
            }
            locations->push_back(servers::make_sector_location(area.number, slot - 1));
        } else if (read_json_number(list[index], 0xFFFFFFFFu, &number)) {
            locations->push_back(static_cast<uint32_t>(number));
        } else {
            return context.fail(item_where,
                                "expected a sector name or a location number, not " + quote_json_value(list[index]));
        }
    }
    return true;
}

bool read_sector_shape(const Json& object, SectorSource* sector, const Context& context, const std::string& where) {
    if (!object.contains("box")) {
        return context.fail(where, "\"box\": missing");
    }
    if (!read_box(object["box"], &sector->box, context, where + ": \"box\"")) {
        return false;
    }
    if (!object.contains("planes")) {
        return true;
    }
    const Json& planes = object["planes"];
    if (!planes.is_array() || planes.empty()) {
        return context.fail(where, "\"planes\": expected an array of planes [nx, ny, nz, d]");
    }
    for (size_t index = 0; index < planes.size(); ++index) {
        Vector4 plane;
        if (!read_plane(planes[index], &plane, context, where + ": \"planes\"[" + std::to_string(index) + "]")) {
            return false;
        }
        sector->planes.push_back(plane);
    }
    return true;
}

bool read_sector_details(const Json& object, const AreaSource& area, servers::AreaSectorDescription* sector,
                         const Context& context, const std::string& where) {
    bool global_light = false;
    bool overlay = false;
    if (!read_flag(object, "global_light", &global_light, context, where) ||
        !read_flag(object, "overlay", &overlay, context, where)) {
        return false;
    }
    sector->flags =
        (global_light ? servers::sector_flag::global_light : 0) | (overlay ? servers::sector_flag::overlay : 0);
    if (object.contains("occluders")) {
        const Json& occluders = object["occluders"];
        if (!occluders.is_array()) {
            return context.fail(where, "\"occluders\": expected an array of boxes");
        }
        for (size_t index = 0; index < occluders.size(); ++index) {
            geometry::Box box;
            if (!read_box(occluders[index], &box, context, where + ": \"occluders\"[" + std::to_string(index) + "]")) {
                return false;
            }
            sector->occluders.push_back(servers::make_occluder_box(box));
        }
    }
    return read_locations(object, "view_companions", area, &sector->view_companions, context, where) &&
           read_locations(object, "light_companions", area, &sector->light_companions, context, where) &&
           read_locations(object, "lightmap_prefetch", area, &sector->lightmap_prefetch, context, where);
}

// The corners in the order that puts side 0 in the first named sector, or a
// message when the quad is bent, not convex, or its sides are not in the
// named sectors.
bool read_portal(const Json& object, const AreaSource& area, servers::AreaPortalDescription* portal,
                 const Context& context, const std::string& where) {
    if (!check_keys(object, {"sectors", "corners"}, context, where)) {
        return false;
    }
    if (!object.contains("sectors") || !object["sectors"].is_array() || object["sectors"].size() != 2) {
        return context.fail(where, "\"sectors\": expected the names of the two sectors it joins");
    }
    uint32_t sides[2];
    for (int side = 0; side < 2; ++side) {
        if (!find_sector_name(object["sectors"][side], area, &sides[side], context, where + ": \"sectors\"")) {
            return false;
        }
    }
    if (!object.contains("corners") || !object["corners"].is_array() || object["corners"].size() != 4) {
        return context.fail(where, "\"corners\": expected four corners in order around the opening");
    }
    Vector3 corners[4];
    for (int corner = 0; corner < 4; ++corner) {
        if (!read_point(object["corners"][corner], &corners[corner], context,
                        where + ": \"corners\"[" + std::to_string(corner) + "]")) {
            return false;
        }
    }
    // The builder's own plane: side 0 lies along this normal.
    const Vector3 across = geometry::cross(corners[2] - corners[0], corners[1] - corners[0]);
    const float length = geometry::length(across);
    if (!(length > 1e-6f)) {
        return context.fail(where, "\"corners\": the opening has no area");
    }
    const Vector3 normal = across * (1.0f / length);
    const Vector3 centre = (corners[0] + corners[1] + corners[2] + corners[3]) * 0.25f;
    for (int corner = 0; corner < 4; ++corner) {
        if (std::fabs(geometry::dot(normal, corners[corner] - centre)) > portal_flatness_tolerance) {
            return context.fail(where, "\"corners\": the four corners do not lie in one plane");
        }
        const Vector3 turn = geometry::cross(corners[(corner + 2) % 4] - corners[(corner + 1) % 4],
                                             corners[(corner + 1) % 4] - corners[corner]);
        if (!(geometry::dot(turn, normal) > 0)) {
            return context.fail(where, "\"corners\": the opening is not convex");
        }
    }
    const Vector3 ahead = centre + normal * portal_probe_distance;
    const Vector3 behind = centre - normal * portal_probe_distance;
    const SectorSource& first = area.sectors[sides[0] - 1];
    const SectorSource& second = area.sectors[sides[1] - 1];
    const bool reversed = !contains_point(first, ahead);
    if (!contains_point(first, reversed ? behind : ahead) || !contains_point(second, reversed ? ahead : behind)) {
        return context.fail(where, "the opening does not lie between \"" + first.name + "\" and \"" + second.name +
                                       "\": the points just off its centre are not in them");
    }
    const int order[2][4] = {{0, 1, 2, 3}, {0, 3, 2, 1}};
    for (int corner = 0; corner < 4; ++corner) {
        portal->corners[corner] = corners[order[reversed ? 1 : 0][corner]];
    }
    return true;
}

// Appends a tree of splits and leaves in the layout the engine walks: the
// front side follows a split at once, the back side after it.
bool append_partition_tree(const Json& node, const AreaSource& area, uint32_t plane_count, int depth,
                           std::vector<servers::PartitionNode>* nodes, const Context& context,
                           const std::string& where) {
    if (depth > deepest_partition_tree) {
        return context.fail(where, "the tree is deeper than " + std::to_string(deepest_partition_tree));
    }
    if (node.is_string() && node.get<std::string>() == "outside") {
        nodes->push_back({0, 0});
        return true;
    }
    if (node.is_object() && node.contains("sector")) {
        uint32_t slot = 0;
        if (!check_keys(node, {"sector"}, context, where) ||
            !find_sector_name(node["sector"], area, &slot, context, where + ": \"sector\"")) {
            return false;
        }
        nodes->push_back({0, slot});
        return true;
    }
    if (!check_keys(node, {"plane", "front", "back"}, context, where)) {
        return false;
    }
    uint64_t plane = 0;
    if (!node.contains("plane") || !read_json_number(node["plane"], plane_count == 0 ? 0 : plane_count - 1, &plane) ||
        plane_count == 0) {
        return context.fail(where, "\"plane\": expected a plane index below " + std::to_string(plane_count));
    }
    if (!node.contains("front") || !node.contains("back")) {
        return context.fail(where, "a split needs \"front\" and \"back\"");
    }
    const size_t split = nodes->size();
    nodes->push_back({0, static_cast<uint32_t>(plane)});
    if (!append_partition_tree(node["front"], area, plane_count, depth + 1, nodes, context, where + ": \"front\"")) {
        return false;
    }
    (*nodes)[split].skip = static_cast<uint32_t>(nodes->size() - split);
    return append_partition_tree(node["back"], area, plane_count, depth + 1, nodes, context, where + ": \"back\"");
}

bool read_partition(const Json& object, const AreaSource& area, servers::AreaDescription* description,
                    const Context& context, const std::string& where) {
    if (!check_keys(object, {"planes", "roots"}, context, where)) {
        return false;
    }
    if (object.contains("planes")) {
        const Json& planes = object["planes"];
        if (!planes.is_array()) {
            return context.fail(where, "\"planes\": expected an array of planes [nx, ny, nz, d]");
        }
        for (size_t index = 0; index < planes.size(); ++index) {
            Vector4 plane;
            if (!read_plane(planes[index], &plane, context, where + ": \"planes\"[" + std::to_string(index) + "]")) {
                return false;
            }
            description->planes.push_back(plane);
        }
    }
    if (!object.contains("roots") || !object["roots"].is_array() || object["roots"].empty()) {
        return context.fail(where, "\"roots\": expected an array of roots");
    }
    const Json& roots = object["roots"];
    for (size_t index = 0; index < roots.size(); ++index) {
        const std::string root_where = where + ": \"roots\"[" + std::to_string(index) + "]";
        if (!check_keys(roots[index], {"sector", "tree"}, context, root_where)) {
            return false;
        }
        servers::AreaRootDescription root;
        if (roots[index].contains("sector") &&
            !find_sector_name(roots[index]["sector"], area, &root.sector, context, root_where + ": \"sector\"")) {
            return false;
        }
        if (!roots[index].contains("tree")) {
            return context.fail(root_where, "\"tree\": missing");
        }
        if (!append_partition_tree(roots[index]["tree"], area, static_cast<uint32_t>(description->planes.size()), 0,
                                   &root.nodes, context, root_where + ": \"tree\"")) {
            return false;
        }
        description->roots.push_back(std::move(root));
    }
    return true;
}

// Each sector its own root: its box decides, then its planes, each passed
// on the inside (front) and leaving the sector behind.
void make_sector_roots(const AreaSource& area, servers::AreaDescription* description) {
    for (uint32_t slot = 1; slot <= area.sectors.size(); ++slot) {
        const std::vector<Vector4>& planes = area.sectors[slot - 1].planes;
        servers::AreaRootDescription root{slot, {}};
        const auto split_count = static_cast<uint32_t>(planes.size());
        for (uint32_t index = 0; index < split_count; ++index) {
            root.nodes.push_back({split_count + 1 - index, static_cast<uint32_t>(description->planes.size())});
            description->planes.push_back(planes[index]);
        }
        root.nodes.push_back({0, slot});
        if (split_count != 0) {
            root.nodes.push_back({0, 0});
        }
        description->roots.push_back(std::move(root));
    }
}

bool compile_area(const Json& object, const std::string& where, std::set<uint32_t>* numbers,
                  std::vector<AreaResource>* out, const Context& context) {
    if (!check_keys(object, {"number", "sectors", "portals", "partition"}, context, where)) {
        return false;
    }
    AreaSource area;
    uint64_t number = 0;
    if (!object.contains("number") || !read_json_number(object["number"], largest_area_number, &number)) {
        return context.fail(where,
                            "\"number\": expected an area number from 0 to " + std::to_string(largest_area_number));
    }
    area.number = static_cast<uint32_t>(number);
    area.where = "area " + std::to_string(area.number);
    if (!numbers->insert(area.number).second) {
        return context.fail(area.where, "\"number\": given twice");
    }
    if (!object.contains("sectors") || !object["sectors"].is_array() || object["sectors"].empty()) {
        return context.fail(area.where, "\"sectors\": expected an array of sectors");
    }
    const Json& sectors = object["sectors"];
    if (sectors.size() > servers::area_sector_slot_count) {
        return context.fail(area.where, "\"sectors\": " + std::to_string(sectors.size()) + " sectors, more than the " +
                                            std::to_string(servers::area_sector_slot_count) + " an area holds");
    }
    // Names first: lists and portals may name any sector of the area.
    for (size_t index = 0; index < sectors.size(); ++index) {
        std::string sector_where = area.where + ": sectors[" + std::to_string(index) + "]";
        if (!check_keys(sectors[index],
                        {"name", "box", "planes", "global_light", "overlay", "occluders", "view_companions",
                         "light_companions", "lightmap_prefetch"},
                        context, sector_where)) {
            return false;
        }
        const Json& sector = sectors[index];
        if (!sector.contains("name") || !sector["name"].is_string() ||
            sector["name"].get_ref<const std::string&>().empty()) {
            return context.fail(sector_where, "\"name\": expected a name");
        }
        SectorSource source;
        source.name = sector["name"].get<std::string>();
        sector_where += " (\"" + source.name + "\")";
        if (!area.slot_of_name.emplace(source.name, static_cast<uint32_t>(index + 1)).second) {
            return context.fail(sector_where, "\"name\": given to two sectors");
        }
        if (!read_sector_shape(sector, &source, context, sector_where)) {
            return false;
        }
        area.sectors.push_back(std::move(source));
    }
    servers::AreaDescription description;
    for (size_t index = 0; index < sectors.size(); ++index) {
        const std::string sector_where =
            area.where + ": sectors[" + std::to_string(index) + "] (\"" + area.sectors[index].name + "\")";
        servers::AreaSectorDescription sector;
        sector.box = area.sectors[index].box;
        if (!read_sector_details(sectors[index], area, &sector, context, sector_where)) {
            return false;
        }
        description.sectors.push_back(std::move(sector));
    }
    if (object.contains("portals")) {
        const Json& portals = object["portals"];
        if (!portals.is_array() || portals.size() > largest_portal_count) {
            return context.fail(area.where, "\"portals\": expected an array of at most " +
                                                std::to_string(largest_portal_count) + " portals");
        }
        for (size_t index = 0; index < portals.size(); ++index) {
            servers::AreaPortalDescription portal;
            if (!read_portal(portals[index], area, &portal, context,
                             area.where + ": portals[" + std::to_string(index) + "]")) {
                return false;
            }
            description.portals.push_back(portal);
        }
    }
    if (object.contains("partition")) {
        for (const SectorSource& sector : area.sectors) {
            if (!sector.planes.empty()) {
                return context.fail(area.where + ": sector \"" + sector.name + "\"",
                                    "\"planes\": an area with its own \"partition\" cuts its sectors there");
            }
        }
        if (!read_partition(object["partition"], area, &description, context, area.where + ": \"partition\"")) {
            return false;
        }
    } else {
        make_sector_roots(area, &description);
    }
    AreaResource layout{servers::get_area_layout_id(area.number), {}};
    AreaResource partition{servers::get_area_partition_id(area.number), {}};
    std::string problem;
    if (!servers::build_area(area.number, description, &layout.data, &partition.data, &problem)) {
        return context.fail(area.where, problem);
    }
    out->push_back(std::move(layout));
    out->push_back(std::move(partition));
    return true;
}

}  // namespace

bool compile_area_description(const std::string& text, const std::string& path, std::vector<AreaResource>* out,
                              std::string* error) {
    out->clear();
    const Context context{path, error};
    Json document;
    std::string problem;
    if (!parse_json_document(text, &document, &problem)) {
        *error = path + ": " + problem;
        return false;
    }
    if (!check_keys(document, {"areas"}, context, "description")) {
        return false;
    }
    if (!document.contains("areas") || !document["areas"].is_array() || document["areas"].empty()) {
        return context.fail("description", "\"areas\": expected an array of areas");
    }
    std::set<uint32_t> numbers;
    const Json& areas = document["areas"];
    for (size_t index = 0; index < areas.size(); ++index) {
        if (!compile_area(areas[index], "areas[" + std::to_string(index) + "]", &numbers, out, context)) {
            out->clear();
            return false;
        }
    }
    return true;
}

bool compile_area_description_file(const std::string& path, std::vector<AreaResource>* out, std::string* error) {
    std::vector<uint8_t> bytes;
    if (!read_file(path, &bytes, error)) {
        return false;
    }
    return compile_area_description(std::string(bytes.begin(), bytes.end()), path, out, error);
}

}  // namespace zolt::tools
