#pragma once
// The sectors a view volume reaches, for the light and shadow passes: from a
// start sector outwards through every enabled portal whose opening lies in
// the volume, breadth first; without a start sector every sector whose box
// the volume meets. Main thread only, while a view is drawn.
#include "libs/geometry/frustum.h"

namespace zolt::renderer {
struct SectorSet;
}

namespace zolt::servers {

struct SectorRender;

void collect_sectors_in_frustum(const SectorRender* start, renderer::SectorSet& set,
                                const geometry::Frustum& clip_volume);

}  // namespace zolt::servers
