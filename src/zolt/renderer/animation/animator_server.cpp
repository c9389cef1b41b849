#include "zolt/renderer/animation/animator_server.h"

namespace zolt::animation {

AnimatorServer animator_server;

}  // namespace zolt::animation
