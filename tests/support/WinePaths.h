#pragma once
// Paths the build knows in Unix form (source and build folders) as Windows programs under
// Wine must name them: "/work/x" is "Z:\work\x". Unchanged outside Wine and for paths
// that are not absolute Unix paths.

#include <string>

std::string WindowsPath(const std::string& path);
