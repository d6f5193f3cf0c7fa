// The soak's phases through the plug-in. The object phases share one render and its
// device: each creates, uses and destroys one kind of object `cycles` times, every
// other one through DestroyResource and the rest by dropping the last reference:
//   vertex + index buffers   filled, locked back, every 25th drawn and read back
//   shaders                  compiled, a uniform set, selected, every 25th drawn and read back
//   GPU textures + upload    through both upload paths, read back pixel for pixel
//   CPU textures + lock      locked, written, set, read
//   states                   each of the five kinds created and selected
//   renders joining device   Initialize and Shutdown of a second render, half of them
//                            with a swap chain into a window
// The life-cycle phase then makes and releases the device itself, `lifecycles` times,
// with the only render; after each Shutdown Direct3D must have no reference left.
#pragma once

#include "soak/SoakPhase.h"

#include <vector>

class PluginHost;
class Progress;

std::vector<SoakPhase> SoakObjects(PluginHost& plugin, long cycles, Progress& progress);
SoakPhase SoakLifecycles(PluginHost& plugin, long lifecycles, Progress& progress);

// The same measurement of the platform without the plug-in: D3DXAssembleShader of a
// small program, and the device's life cycle as the only render makes it, as plain calls.
std::vector<SoakPhase> SoakPlatform(long cycles, long lifecycles, Progress& progress);
