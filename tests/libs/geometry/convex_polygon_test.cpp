#include "libs/geometry/convex_polygon.h"

#include <gtest/gtest.h>

#include "libs/geometry/floor_divide.h"
#include "support/child_process.h"

namespace zolt::geometry {
namespace {

TEST(ConvexPolygon, CopiesWrapAroundAndOverflowIsFatal) {
    ConvexPolygon<10> ten;
    for (int index = 0; index < 10; ++index) {
        ten.add_vertex({static_cast<float>(index), 0, 0});
    }
    ConvexPolygon<9> nine;
    nine.copy_polygon_part(ten, 8, 4);
    ASSERT_EQ(nine.count, 4u);
    EXPECT_EQ(nine.vertices[0].x, 8);
    EXPECT_EQ(nine.vertices[2].x, 0);
    EXPECT_EQ(nine.vertices[3].x, 1);
    ConvexPolygon<10> back;
    back.copy_polygon(nine);
    EXPECT_EQ(back.count, 4u);

    for (const auto& overflow : {+[] {
                                     ConvexPolygon<9> full;
                                     for (int index = 0; index < 10; ++index) {
                                         full.add_vertex({});
                                     }
                                 },
                                 +[] {
                                     ConvexPolygon<10> source;
                                     source.count = 10;
                                     ConvexPolygon<9> target;
                                     target.copy_polygon(source);
                                 },
                                 +[] {
                                     ConvexPolygon<10> source;
                                     source.count = 3;
                                     ConvexPolygon<9> target;
                                     target.copy_polygon_part(source, 0, 10);
                                 }}) {
        const test::ChildResult result = test::run_in_child(overflow);
        EXPECT_NE(result.exit_code, 0);
        EXPECT_NE(result.standard_error.find("Buffer overrun."), std::string::npos) << result.standard_error;
    }
}

TEST(FloorDivide, RoundsTowardMinusInfinity) {
    struct Row {
        int32_t a, b, quotient, remainder;
    } const rows[] = {{-1, 4, -1, 3}, {8, 4, 2, 0}, {7, 4, 1, 3}, {-8, 4, -2, 0},
                      {-9, 4, -3, 3}, {0, 5, 0, 0}, {5, 0, 0, 0}, {INT32_MIN, 1, INT32_MIN, 0}};
    for (const Row& row : rows) {
        const FloorDivision result = floor_divide(row.a, row.b);
        EXPECT_EQ(result.quotient, row.quotient) << row.a << " / " << row.b;
        EXPECT_EQ(result.remainder, row.remainder) << row.a << " / " << row.b;
    }
}

}  // namespace
}  // namespace zolt::geometry
