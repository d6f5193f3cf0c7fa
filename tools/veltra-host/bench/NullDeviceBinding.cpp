#include "bench/NullDeviceBinding.h"

#include "common/HostPaths.h"

#include <windows.h>

NullDeviceBinding::NullDeviceBinding()
{
    const std::wstring folder = Widen(ProgramFolder() + "null-device");
    SetDllDirectoryW(folder.c_str());
}

NullDeviceBinding::~NullDeviceBinding()
{
    SetDllDirectoryW(nullptr);
}
