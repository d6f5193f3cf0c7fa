#pragma once
// Fills the process-wide RenderInfo from the adapter Direct3D reports.

#include <VeltraRender/RenderInfo.h>

#include <d3d9.h>

// Vendor name by PCI vendor id; null for vendors the plug-in does not name.
const wchar_t* VendorName(DWORD vendorId);

// Writes name, vendor, description, driver version and the stereo flags;
// the vendor field keeps its previous text for unnamed vendors.
void FillRenderInfo(VeltraRender::RenderInfo& info, const D3DADAPTER_IDENTIFIER9& identifier,
                    bool stereoAvailable, bool stereoEnabled);
