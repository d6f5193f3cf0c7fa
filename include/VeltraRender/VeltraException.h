#pragma once
// The one exception type the back-end throws itself, and its error codes.

#include <cstdint>

namespace Veltra {

enum ErrorCode : uint32_t {
    ecInvalidParameter = 0,
    ecOutOfMemory = 1,
    ecFeatureNotSupported = 2,
    ecCreateGPUResourceFailed = 3,
    ecCreateCPUResourceFailed = 4,
    ecInvalidOperation = 5,
    ecBadState = 6,
    ecGLError = 7,
    ecCGError = 8,
    ecDXError = 9,
};

// Thrown by value. `detail` holds the Cg error number for ecCGError, 0 otherwise.
struct VeltraException {
    ErrorCode code;
    int32_t detail;
};

// Text of each error code, indexed by the code.
inline const wchar_t* const g_errorMessages[10] = {
    L"ecInvalidParameter: An invalid parameter was passed",
    L"ecOutOfMemory: Not enough memory to complete function",
    L"ecFeatureNotSupported: The feature is not supported on this system",
    L"ecCreateGPUResourceFailed: Could not create the GPU-side resource",
    L"ecCreateCPUResourceFailed: Could not create the CPU-side resource",
    L"ecInvalidOperation: The operation is invalid for this object",
    L"ecBadState: The object is in the incorrect state for this operation",
    L"ecGLError: An OpenGL error has occurred",
    L"ecCGError: An NVidia CG error has occurred",
    L"ecDXError: A DirectX error has occurred",
};

} // namespace Veltra
