#include "AdapterInfo.h"

#include <cstring>
#include <cwchar>

namespace {

void CopyText(wchar_t (&field)[VeltraRender::RenderInfoTextLength], const wchar_t* text)
{
    _snwprintf(field, VeltraRender::RenderInfoTextLength - 1, L"%s", text);
    field[VeltraRender::RenderInfoTextLength - 1] = L'\0';
}

} // namespace

const wchar_t* VendorName(DWORD vendorId)
{
    switch (vendorId) {
    case 0x10DE:
        return L"NVidia";
    case 0x1002:
    case 0x1022:
        return L"AMD";
    case 0x8086:
        return L"Intel";
    default:
        return nullptr;
    }
}

void FillRenderInfo(VeltraRender::RenderInfo& info, const D3DADAPTER_IDENTIFIER9& identifier,
                    bool stereoAvailable, bool stereoEnabled)
{
    const size_t length = VeltraRender::RenderInfoTextLength;
    CopyText(info.name, L"RenderDX9");
    CopyText(info.reserved2, L"");
    if (const wchar_t* vendor = VendorName(identifier.VendorId))
        CopyText(info.vendor, vendor);

    // The narrow description, cut to 64 characters (it may lack its NUL when full).
    char description[MAX_DEVICE_IDENTIFIER_STRING + 1] = {};
    std::memcpy(description, identifier.Description, MAX_DEVICE_IDENTIFIER_STRING);
    _snwprintf(info.description, length - 1, L"%hs", description);
    info.description[length - 1] = L'\0';

    const DWORD high = static_cast<DWORD>(identifier.DriverVersion.HighPart);
    const DWORD low = identifier.DriverVersion.LowPart;
    _snwprintf(info.driverVersion, length - 1, L"%d.%d.%d.%d", static_cast<int>(HIWORD(high)),
               static_cast<int>(LOWORD(high)), static_cast<int>(HIWORD(low)), static_cast<int>(LOWORD(low)));
    info.driverVersion[length - 1] = L'\0';

    info.stereoAvailable = stereoAvailable;
    info.stereoEnabled = stereoEnabled;
}
