#pragma once
// A registered placement world for tests: the alias server, the placement
// server (with its root) and a small server of objects that count the
// placement notifications they receive.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "support/server_ring.h"
#include "zolt/core/object_server/alias_server.h"
#include "zolt/core/object_server/pooled_server.h"
#include "zolt/core/placement/placement.h"
#include "zolt/core/placement/placement_server.h"

namespace zolt::test {

class Watcher final : public core::ServerObject {
public:
    void initialize(uint32_t) override {
        calls = 0;
        echo_into = nullptr;
    }
    void finalize() override {}
    void placement_changed() override {
        ++calls;
        // Like a physics actor writing its pose back while it is told.
        if (echo_into != nullptr) {
            echo_into->set_world_rotation({0, 0, std::sin(0.1f * static_cast<float>(calls)), 1});
        }
    }
    uint32_t calls = 0;
    core::Placement* echo_into = nullptr;
};

constexpr uint32_t watcher_server_type = 40;

class WatcherServer final : public core::PooledServer<Watcher, 8> {
public:
    WatcherServer() : PooledServer(watcher_server_type) {}
    const char* get_name() const override { return "WatcherServer"; }
    Watcher* create() { return static_cast<Watcher*>(create_object_internal(0)); }
};

class PlacementWorld : public ::testing::Test {
protected:
    void SetUp() override {
        core::alias_server.register_server();
        core::placement_server.register_server();
        watchers.register_server();
    }
    void TearDown() override { test::unregister_all_servers(); }

    core::Placement* create(core::Placement* parent = nullptr) {
        core::Placement* const placement = core::placement_server.create_placement();
        if (parent != nullptr) {
            EXPECT_TRUE(placement->set_parent(parent));
        }
        return placement;
    }

    WatcherServer watchers;
};

inline geometry::Quaternion random_rotation(std::mt19937& random) {
    std::normal_distribution<float> normal;
    return geometry::normalize({normal(random), normal(random), normal(random), normal(random)});
}

inline geometry::Vector3 random_position(std::mt19937& random) {
    std::uniform_real_distribution<float> coordinate(-10, 10);
    return {coordinate(random), coordinate(random), coordinate(random)};
}

inline geometry::Quaternion turn_about_z(float turns) {
    return {0, 0, std::sin(3.14159265f * turns), std::cos(3.14159265f * turns)};
}

inline ::testing::AssertionResult vectors_near(const geometry::Vector3& actual, const geometry::Vector3& expected,
                                               double tolerance) {
    if (std::fabs(actual.x - expected.x) <= tolerance && std::fabs(actual.y - expected.y) <= tolerance &&
        std::fabs(actual.z - expected.z) <= tolerance) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "(" << actual.x << ", " << actual.y << ", " << actual.z
                                         << ") is not within " << tolerance << " of (" << expected.x << ", "
                                         << expected.y << ", " << expected.z << ")";
}

inline ::testing::AssertionResult quaternions_near(const geometry::Quaternion& actual,
                                                   const geometry::Quaternion& expected, double tolerance) {
    if (std::fabs(actual.x - expected.x) <= tolerance && std::fabs(actual.y - expected.y) <= tolerance &&
        std::fabs(actual.z - expected.z) <= tolerance && std::fabs(actual.w - expected.w) <= tolerance) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "(" << actual.x << ", " << actual.y << ", " << actual.z << ", " << actual.w
                                         << ") is not within " << tolerance << " of (" << expected.x << ", "
                                         << expected.y << ", " << expected.z << ", " << expected.w << ")";
}

#define EXPECT_VECTOR_NEAR(actual, expected, tolerance) \
    EXPECT_TRUE(::zolt::test::vectors_near((actual), (expected), (tolerance)))
#define EXPECT_QUATERNION_NEAR(actual, expected, tolerance) \
    EXPECT_TRUE(::zolt::test::quaternions_near((actual), (expected), (tolerance)))

}  // namespace zolt::test
