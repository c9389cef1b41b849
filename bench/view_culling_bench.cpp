// Culling a view's spheres: the engine's classify_sphere over one frustum
// against a plain loop that tests the same planes in double precision.
#include <benchmark/benchmark.h>

#include <array>
#include <random>
#include <vector>

#include "libs/geometry/culling.h"
#include "libs/geometry/frustum.h"

namespace {

using zolt::geometry::Vector3;

constexpr int sphere_count = 5000;

std::vector<Vector3> make_spheres() {
    std::mt19937 random(3);
    std::uniform_real_distribution<float> coordinate(-200, 200);
    std::uniform_real_distribution<float> radius(0.1f, 4);
    std::vector<Vector3> spheres(sphere_count);
    for (Vector3& sphere : spheres) {
        sphere = {coordinate(random), coordinate(random), coordinate(random)};
        sphere.w = radius(random);
    }
    return spheres;
}

zolt::geometry::Frustum make_view() {
    return zolt::geometry::build_perspective_frustum(0.2f, 300, 0.25f, 0.18f, {0, 0, 0}, {});
}

void view_culling_zolt(benchmark::State& state) {
    const std::vector<Vector3> spheres = make_spheres();
    const zolt::geometry::Frustum view = make_view();
    for (auto _ : state) {
        int visible = 0;
        for (const Vector3& sphere : spheres) {
            visible += zolt::geometry::classify_sphere(sphere, view.planes) != zolt::geometry::SphereClass::outside;
        }
        benchmark::DoNotOptimize(visible);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * sphere_count);
}

void view_culling_naive(benchmark::State& state) {
    const std::vector<Vector3> spheres = make_spheres();
    const zolt::geometry::Frustum view = make_view();
    std::array<std::array<double, 4>, 6> planes;
    for (int index = 0; index < 6; ++index) {
        planes[index] = {view.planes[index].x, view.planes[index].y, view.planes[index].z, view.planes[index].d};
    }
    for (auto _ : state) {
        int visible = 0;
        for (const Vector3& sphere : spheres) {
            bool outside = false;
            for (const auto& plane : planes) {
                outside =
                    outside || plane[0] * sphere.x + plane[1] * sphere.y + plane[2] * sphere.z - plane[3] > sphere.w;
            }
            visible += outside ? 0 : 1;
        }
        benchmark::DoNotOptimize(visible);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * sphere_count);
}

BENCHMARK(view_culling_zolt)->Name("view_culling/zolt");
BENCHMARK(view_culling_naive)->Name("view_culling/naive");

}  // namespace
