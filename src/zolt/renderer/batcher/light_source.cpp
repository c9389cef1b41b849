#include "zolt/renderer/batcher/light_source.h"

namespace zolt::renderer {

LightSource light_source;

}  // namespace zolt::renderer
