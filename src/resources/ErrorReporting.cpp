#include "ErrorReporting.h"

#include "../host/Log.h"

namespace Veltra {

bool DXFailed(HRESULT result, const wchar_t* callText)
{
    if (result == 0)
        return false;
    LogAlways(LogError, L"DirectX Error: %d in %s\n", static_cast<int>(result), callText);
    return true;
}

CGerror CgFailed(const wchar_t* callText)
{
    const CGerror error = cgGetError();
    if (error != CG_NO_ERROR)
        LogAlways(LogWarning, L"Cg Error: %d in %s\n", static_cast<int>(error), callText);
    return error;
}

} // namespace Veltra
