#pragma once
// The walk of a view from the camera's sector through the portals it sees:
// every sector reached gets a view in the context, with the screen
// rectangle through which it is seen and the clip volume built from it.
// Main thread only, while a view is drawn.
namespace zolt::renderer {
struct VisibilityContext;
}

namespace zolt::servers {

void traverse_visible_sectors(renderer::VisibilityContext& context);

}  // namespace zolt::servers
