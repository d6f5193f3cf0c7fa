// The versions veltra-host reports: its own, and a DLL's from its version resource.
#pragma once

#include <string>

std::string HostVersion();

// "1.0.0" from the file's version resource; empty when it has none.
std::string FileVersion(const std::string& path);
