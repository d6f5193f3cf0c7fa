// Why a DLL could not be loaded, in words a user can act on. Windows answers error 126
// ("module not found") both when the DLL itself is missing and when one that it
// imports, or one that those import, is missing: this finds which.
#pragma once

#include <string>

// Why LoadLibrary of the DLL `name` failed with `error`: "NAME is not beside PROGRAM
// nor on the DLL search path", or "NAME needs d3dx9_42.dll, which could not be loaded
// (...)" (following the imports down to the first module that cannot be loaded), or
// else the error in words.
std::string LoadFailure(const std::string& name, unsigned long error);
