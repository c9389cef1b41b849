#pragma once
// The Bullet objects behind one scene, and the worker that runs its steps when
// the scene simulates on a thread of its own.
#include <btBulletDynamicsCommon.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace zolt::platform::physics {

class Scene;

// One job at a time: run starts it, wait returns when it is done.
class SceneWorker {
public:
    SceneWorker();
    ~SceneWorker();
    void run(std::function<void()> job);
    void wait();

private:
    void loop();
    std::mutex mutex_;
    std::condition_variable changed_;
    std::function<void()> job_;
    bool busy_ = false;
    bool stopping_ = false;
    std::thread thread_;
};

struct SceneWorld {
    explicit SceneWorld(Scene& scene);
    ~SceneWorld();

    // Bullet's pools grow on demand; starting them small keeps a restart of
    // the servers cheap.
    static btDefaultCollisionConstructionInfo get_pool_sizes();

    btDefaultCollisionConfiguration configuration{get_pool_sizes()};
    btCollisionDispatcher dispatcher;
    btDbvtBroadphase broadphase;
    btSequentialImpulseConstraintSolver solver;
    btDiscreteDynamicsWorld world;
    std::unique_ptr<btOverlapFilterCallback> no_pairs;
    std::unique_ptr<SceneWorker> worker;
};

// Broad-phase groups: static bodies meet only moving ones.
constexpr int moving_filter_group = 1, static_filter_group = 2;

}  // namespace zolt::platform::physics
