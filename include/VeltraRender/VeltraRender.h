#pragma once
// Everything a host needs to drive the VeltraRenderDirectX plug-in.

#include "IRender.h"
#include "IResource.h"
#include "RenderInfo.h"
#include "RenderList.h"
#include "RenderSettings.h"
#include "ResourceHeader.h"
