#pragma once
// The host's render device interface. The host calls a render only through these
// virtual operations; their order is the slot order of the table.
//
// Conventions of every operation below:
// - Sizes are in pixels, units are Direct3D 9's numbering from 0.
// - Failures the host can act on are results (false, an empty pointer). Misuse throws
//   Veltra::VeltraException by value: ecInvalidParameter for an empty pointer or an
//   object of the wrong kind, ecBadState for an object in a state the operation does
//   not take (a locked buffer selected, a texture selected while it is the target),
//   ecInvalidOperation for a device operation on a render without a device (before
//   Initialize succeeded, after the last Shutdown), ecOutOfMemory when Direct3D made
//   no texture for it. A render that was never initialised has no reference to itself
//   to give its objects: creating one throws boost::bad_weak_ptr.
// - A failed Direct3D call inside an operation is not thrown: it is logged (module 293,
//   "DirectX Error: <hr> in <call>") and the operation goes on or is skipped.
// - Every render of a process shares one Direct3D 9 device (9Ex where available).

#include "IResource.h"
#include "RenderInfo.h"
#include "RenderSettings.h"
#include "ResourceHeader.h"

#include <windows.h>
#include <boost/shared_ptr.hpp>
#include <boost/weak_ptr.hpp>
#include <cstdint>

struct IDirect3DDevice9;

// windows.h defines UnlockResource as an obsolete 16-bit macro that would rewrite
// the slot of the same name below.
#ifdef UnlockResource
#undef UnlockResource
#endif

namespace VeltraRender {

class IRender {
public:
    // Lifecycle (slots 0-5)

    // `self`: a weak reference to this very render (made from the shared pointer the
    // factory returned), which the render hands to the objects it creates. `settings`:
    // the window to present into (may be null), the width and height in pixels of its
    // swap chain and of the default quad's projection, the pixel aspect; written back as
    // the render keeps them. The first render creates the shared device; later ones join
    // it. False when no device could be made (set VELTRA_LOG=293:0-5 to see why); the
    // render may be initialised again. An initialised render is shut down first. Call
    // Shutdown on the thread that called Initialize.
    virtual bool Initialize(boost::weak_ptr<IRender> self, RenderSettings& settings) = 0;
    // Destroys every object this render created and its swap chain. The last render
    // (the only render object alive) also releases the shared device: false when
    // something else still references the device (a reference the host took through
    // GetDevice, for example). True for a render that is not initialised.
    virtual bool Shutdown() = 0;
    // Drops the render's records of destroyed objects; until then it keeps one for
    // every object it ever created. Hosts that create and destroy objects for hours call
    // it now and then.
    virtual void ReleaseExtraMemory() = 0;
    // True when the shared device can draw; false without a device, or when it is lost,
    // not reset or reports an internal driver error (one log line says which).
    virtual bool CheckRender() = 0;
    // Copies the adapter's description (RenderInfo, 800 bytes) into `info`; null: nothing.
    virtual void GetRenderInfo(RenderInfo* info) = 0;
    // Copies the settings as Initialize kept them into `settings`; null: nothing.
    virtual void GetRenderSettings(RenderSettings* settings) = 0;

    // Creation and data (slots 6-15)

    // `settings` is the whole record of its kind, picked by its `type`: BufferSettings
    // (rtBufferGPU), ShaderSettings (rtShaderGPU) or TextureSettings (rtTextureGPU, a
    // render-target texture; its `data`, when set, is uploaded). Other types throw
    // ecInvalidParameter. A shader whose programs do not compile is made with the
    // plug-in's error programs (GetSettings then returns those sources).
    // The result's own interface: boost::dynamic_pointer_cast<IResShaderGPU> (or
    // IResBufferGPU, IResTextureGPU) of it.
    virtual boost::shared_ptr<IResourceGPU> CreateResourceGPU(const ResourceHeader& settings) = 0;
    // BlendSettings, DepthSettings, RasterSettings, StencilSettings or SamplerSettings,
    // picked by `type`; other types throw ecInvalidParameter. Nothing reaches the
    // device until the state is selected.
    virtual boost::shared_ptr<IState> CreateState(const ResourceHeader& settings) = 0;
    // A CPU texture (system memory, for reading GPU textures back): TextureSettings with
    // type rtTextureCPU; its `data`, when set, is copied in.
    virtual boost::shared_ptr<IResourceCPU> CreateResourceCPU(const ResourceHeader& settings) = 0;
    // A CPU texture with the size and format of `source`, which must be a GPU texture
    // (ecInvalidParameter otherwise).
    virtual boost::shared_ptr<IResourceCPU> CreateResourceCPU(const boost::shared_ptr<IResource>& source) = 0;
    // Releases the object's Direct3D and Cg objects now. It is unbound first from the
    // device slots that still hold it (sampler units, shader slots, render target 0);
    // what the host selected after it, without deselecting it, stays bound. The host's
    // references stay valid; the object is rsDestroyed. Dropping the last reference
    // releases them too.
    virtual void DestroyResource(IResource* resource) = 0;
    virtual void DestroyResource(const boost::shared_ptr<IResource>& resource) = 0;
    // Maps a CPU texture (pitch: bytes per row) or a buffer (pitch: bytes per element)
    // for the host; bits is null when nothing could be mapped. Other kinds throw
    // ecInvalidParameter. Pair each with UnlockResource.
    virtual LockedMemory LockResource(boost::shared_ptr<IResource> resource) = 0;
    virtual void UnlockResource(boost::shared_ptr<IResource> resource) = 0;
    // Copies `data` into the whole resource: a buffer's `count` elements; a CPU
    // texture's rows, packed one after another; a GPU texture's rows of the host's
    // `rowBytes` (uploaded through system memory). Skipped while the device cannot draw
    // (CheckRender false).
    virtual void SetResourceData(const void* data, boost::shared_ptr<IResource> resource) = 0;
    // GPU texture to CPU texture: the read-back. GPU to GPU texture: a copy scaled to the
    // destination (linear filtering). CPU to GPU texture: an upload. A texture into
    // anything else, or an empty pointer, throws ecInvalidParameter; a buffer, shader or
    // state as the source throws ecInvalidOperation.
    virtual void TransferResource(boost::shared_ptr<IResource> source, boost::shared_ptr<IResource> destination) = 0;

    // Binding (slots 16-19)

    // Binds for the next draw. `hardwareUnit`: a texture's sampler (texture unit; a
    // Cg program's samplers take units in the order the program declares them); a
    // vertex buffer's usage index (the texture-coordinate set of bkTexCoords, for
    // example); ignored for index buffers and shaders. A shader uploads its uniforms
    // when it is selected. Null: one log line, nothing bound.
    virtual void SelectResource(boost::shared_ptr<IResourceGPU> resource, uint32_t hardwareUnit) = 0;
    // Makes a GPU texture render target 0 (`unit` is not used), with a viewport of its
    // size, and runs a deferred Clear. The matching DeSelectResource puts the previous
    // target back.
    virtual void TargetResource(boost::shared_ptr<IResourceGPU> target, uint32_t unit) = 0;
    // Undoes SelectResource or TargetResource; give the unit it was selected with.
    virtual void DeSelectResource(boost::shared_ptr<IResourceGPU> resource, uint32_t hardwareUnit) = 0;
    // Sends the state's settings where they differ from the state of its kind the device
    // received last on `unit`, from any render. `unit`: the sampler, 0 to 7, for sampler
    // states; use 0 for the others. Outside 0 to 7: one log line, nothing selected.
    virtual void SelectState(boost::shared_ptr<IState> state, int32_t unit) = 0;

    // Drawing (slots 20-23)

    // One indexed triangle list from the selected vertex buffers (ordered position,
    // normal, colour, texture coordinates) and the selected index buffer, with the
    // selected shader. Without a vertex or an index buffer: one log line, nothing drawn.
    virtual void Draw() = 0;
    // The render's default quad (corners at -0.5 to 0.5, z 0, with normals, no texture
    // coordinates), uploading the render's projection to the selected shader's
    // `ModelViewProjection`; with the projection, each texel of a target-sized texture
    // lands on its own pixel (the vertex program: ShaderSettings.h). Facing away from
    // Direct3D's default culling: select a raster state first (VeltraRender.h).
    virtual void DrawQuad() = 0;
    // Clears the current target. `clearMask` bits: 0x02 the depth buffer (to 1), 0x04
    // the stencil buffer (to 0), 0x10 later: at the next TargetResource instead of now.
    // The colour is cleared every time, unless the target's SetClearColorEnabled(false),
    // to transparent black (opaque orange with log level 22 on and 23 off).
    virtual void Clear(uint8_t clearMask) = 0;
    // Submits the queued commands. `wait`: until the GPU has finished them, yielding the
    // processor between polls. False without a device, or when the GPU has not finished
    // after 5 s (taken as hung, one log line).
    virtual bool Flush(bool wait) = 0;

    // Display (slots 24-25); the four values after the window are ignored.

    // Copies a GPU texture (scaled, linear) into the render's swap chain and presents it
    // into the render's window. `eye`: 0 mono, 1 the left and 2 the right image of a
    // stereo pair (in stereo the pair is presented with the right image). False, and
    // nothing shown, without a window, without a swap chain or for anything but a GPU
    // texture.
    virtual bool DisplayBuffer(boost::shared_ptr<IResourceGPU> source, uint32_t eye) = 0;
    // Presents into `window` from now on (the swap chain keeps its size).
    virtual void ChangeRenderWindow(HWND window, uint32_t, uint32_t, uint32_t, uint32_t) = 0;

    // Queries (slots 26-30)

    // The shared device, without a reference added; null without one. A reference the
    // host adds must be released before the last Shutdown.
    virtual IDirect3DDevice9* GetDevice() = 0;
    // The GPU object at `position` in the order this render created them (a GPU
    // texture's GetIndex). Outside the list, or an object since destroyed and dropped:
    // throws boost::bad_weak_ptr.
    virtual boost::shared_ptr<IResourceGPU> GetResourceGPU(int32_t position) = 0;
    // Always true.
    virtual bool QueryFlag() = 0;
    // The device's shader model: 2 for 3.0, 1 for 2.x, 0 for 2.0. Cg programs are
    // compiled for its profiles, with PROFILE_3_0, PROFILE_2_X or PROFILE_2_0 defined.
    virtual int32_t GetShaderLevel() = 0;
    // Writes NVIDIA's stereo signature into the last row of a GPU texture, for a
    // side-by-side stereo image. Anything but a created GPU texture, or no device: one
    // log line, nothing written.
    virtual void StampStereoSignature(boost::shared_ptr<IResourceGPU> target) = 0;

    // Slot 31
    virtual ~IRender() {}
};

} // namespace VeltraRender
