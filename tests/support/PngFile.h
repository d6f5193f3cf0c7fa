#pragma once
// Writes A8R8G8B8 pixels (as Direct3D lays them out in memory: B, G, R, A bytes) to a
// PNG file, for pictures a test leaves behind for people to look at.

#include <cstdint>
#include <string>
#include <vector>

bool WritePng(const std::string& path, const std::vector<uint32_t>& pixels, int width, int height);

// A file name in the folder of the running test program.
std::string BesideProgram(const std::string& name);
