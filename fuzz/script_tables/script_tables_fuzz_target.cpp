// The tables scripts read out of resources: motion curves, function tables
// and data tables. A motion curve or function table that its check accepts
// must evaluate anywhere without reading past the resource, and a cubic
// solve must answer inside [0, 1]; a data table is read with any keys and
// must never read past its bytes. Input: a selector byte, four little-endian
// query words, then the resource.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "support/fuzz_entry.h"
#include "zolt/core/resources/data_table.h"
#include "zolt/core/script_objects/function_table_format.h"
#include "zolt/core/script_objects/motion_curve.h"

namespace {

namespace fuzz = zolt::fuzz;
using namespace zolt::core;

constexpr size_t query_size = 1 + 16;

float as_float(uint32_t word) {
    float value;
    std::memcpy(&value, &word, sizeof value);
    return value;
}

void fuzz_motion(const uint8_t* data, uint32_t size, const uint32_t (&query)[4]) {
    const std::optional<float> root =
        solve_cubic_in_unit_interval(as_float(query[0]), as_float(query[1]), as_float(query[2]), as_float(query[3]));
    fuzz::expect(!root || (*root >= 0.0f && *root <= 1.0f), "a cubic solve answered outside [0, 1]");
    uint32_t curve_offset = 0;
    const char* error = nullptr;
    if (!find_motion_curve(data, size, query[0] & 0xFFF, &curve_offset, &error) || curve_offset == 0 ||
        !check_motion_curve(data, size, curve_offset, &error)) {
        return;
    }
    MotionCurveCursor cursor = make_motion_curve_cursor(data, curve_offset);
    const float end = get_motion_curve_end_time(data, cursor);
    for (uint32_t step = 0; step <= 16; ++step) {
        evaluate_motion_curve(data, cursor, end * static_cast<float>(step) / 16.0f);
    }
    for (const uint32_t word : query) {
        evaluate_motion_curve(data, cursor, as_float(word));
    }
}

void fuzz_function_table(const uint8_t* data, uint32_t size, const uint32_t (&query)[4]) {
    const char* error = nullptr;
    if (!check_function_table_resource(data, size, &error)) {
        return;
    }
    const float infinity = std::numeric_limits<float>::infinity();
    for (const float x : {as_float(query[0]), as_float(query[1]), as_float(query[2]), as_float(query[3]), infinity,
                          -infinity, std::nanf(""), 0.0f}) {
        evaluate_function_table_resource(data, x);
    }
}

void fuzz_data_table(const uint8_t* data, uint32_t size, const uint32_t (&query)[4]) {
    const DataTableView table(data, size);
    for (const uint32_t header :
         {data_table_header::run_table_a, data_table_header::run_table_b, data_table_header::run_table_c}) {
        table.find_run_value(header, query[0], query[1]);
    }
    for (uint32_t word = 0; word < 3; ++word) {
        table.find_record_word(query[2], word);
    }
    table.find_section_value(query[0], query[3]);
    table.get_byte(query[1]);
    if (const std::optional<uint64_t> record = table.find_record28(query[2])) {
        fuzz::expect(*record + table_record28_size <= size, "a 28-byte record reaches past the table");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < query_size || size > 65536) {
        return 0;
    }
    uint32_t query[4];
    std::memcpy(query, data + 1, sizeof query);
    // An exactly sized copy, so the sanitizer sees any read past the resource.
    const uint32_t resource_size = static_cast<uint32_t>(size - query_size);
    std::vector<uint8_t> resource(data + query_size, data + size);
    const uint8_t* const bytes = resource_size != 0 ? resource.data() : nullptr;
    switch (data[0] % 3) {
    case 0:
        fuzz_motion(bytes, resource_size, query);
        break;
    case 1:
        fuzz_function_table(bytes, resource_size, query);
        break;
    default:
        fuzz_data_table(bytes, resource_size, query);
        break;
    }
    return 0;
}
