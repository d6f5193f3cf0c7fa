// Uploads and read-backs as plain Direct3D 9Ex calls, the floor the benchmark holds
// the plug-in's transfers against (the other plain baselines draw with them too).
#pragma once

#include <d3d9.h>

#include <string>

// Throws HostFailure naming `call` when `result` failed.
void CheckPlain(HRESULT result, const char* call);

// A 9Ex system-memory texture made over the host's pixels (rows of width * 4 bytes, no
// copy), copied into `texture` with UpdateSurface: the plug-in's way of uploading.
// `creation`, when given, receives the seconds the CreateTexture took.
void UploadOverHostMemory(IDirect3DDevice9Ex* device, const void* pixels, int width, int height,
                          IDirect3DTexture9* texture, double* creation = nullptr);

// The host's pixels copied row by row into `staging`, a system-memory texture made once
// and kept, then into `texture` with UpdateSurface: no texture is made per upload.
void UploadThroughStaging(IDirect3DDevice9Ex* device, const void* pixels, int width, int height,
                          IDirect3DTexture9* staging, IDirect3DTexture9* texture);

// GetRenderTargetData of `target` into the system-memory texture `readBack`, locked for
// reading and its rows copied into `pixels` (rows of width * 4 bytes). `lockAndCopy`,
// when given, receives the seconds from the lock to the unlock.
void ReadRenderTarget(IDirect3DDevice9Ex* device, IDirect3DTexture9* target, IDirect3DTexture9* readBack, void* pixels,
                      int width, int height, double* lockAndCopy = nullptr);

// A texture of A8R8G8B8 pixels: a render target in the default pool, or (`readBack`) a
// dynamic system-memory texture to read render targets back into.
IDirect3DTexture9* CreatePlainTexture(IDirect3DDevice9Ex* device, int width, int height, bool readBack);

// Issues the event query and polls it, yielding, until the GPU has passed it: what the
// plug-in's Flush(true) does.
void WaitForGpu(IDirect3DQuery9* event);
