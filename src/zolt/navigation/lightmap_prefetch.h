#pragma once
// Hints that keep the lightmaps of the sectors next to the camera resident:
// their textures are stamped as used a few frames ago, so the texture budget
// does not pick them first when it needs room, yet the camera's own sector
// still counts as the most recent. The renderer calls both for the camera's
// sector once a frame. Main thread only.
namespace zolt::servers {

class Sector;

// When the sector asks for it: the sectors beyond its enabled portals.
void touch_neighbour_sector_resources(const Sector& sector);
// The sectors its area record lists for prefetch.
void touch_linked_sector_resources(const Sector& sector);

}  // namespace zolt::servers
