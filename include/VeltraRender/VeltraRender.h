#pragma once
// Everything a host needs to drive the VeltraRenderDirectX plug-in.

#include "BufferSettings.h"
#include "IRender.h"
#include "IResource.h"
#include "RenderInfo.h"
#include "RenderList.h"
#include "RenderSettings.h"
#include "ResourceHeader.h"
#include "ShaderSettings.h"
#include "ShaderValue.h"
#include "StateSettings.h"
#include "TextureSettings.h"
#include "VeltraException.h"
