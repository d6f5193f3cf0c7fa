// Four host threads drive the plug-in at once on the real stack, as its threading
// rules allow, and every frame they draw is read back and compared with what was
// drawn: nothing may be lost, nothing may deadlock, and at the end every Shutdown
// succeeds with nothing of Direct3D left.
//
//   window     its own render, presenting each frame into a window it owns
//   offscreen  its own render, drawing a host mesh into targets of changing sizes
//   shared-1   one render shared by both for binding and drawing; each thread creates
//   shared-2   and destroys its own resources and presents into its own window
//              through the shared render's swap chain
//
// Every render draws with the one shared device, whose binding state (render target,
// shader, textures, streams, pipeline states) belongs to the device, and the render
// lock serialises single calls only. So the host serialises each frame (bind, draw,
// unbind) with a lock of its own, as a host must; creation, destruction, uploads,
// read-backs, locks, flushes and presentation run beside the other threads' frames.
// --unserialised-frames drops that lock to show what interleaved frames do.
//
//   stress [--operations N] [--stall-seconds S] [--unserialised-frames] [--neutral-blending]
//
// Frames select one of three blend states at random: off, one/zero (both draw the
// source) and zero/one (keeps the cleared target). --neutral-blending makes the third
// draw the source too, so that only what does not depend on state changes is checked.
//
// A watchdog turns a thread that makes no progress for S seconds into a failure that
// prints every thread's last operations.

#include "HostWindow.h"
#include "LogCapture.h"
#include "PluginLibrary.h"
#include "QuadShader.h"
#include "Resources.h"
#include "StressSupport.h"
#include "X11Capture.h"

#include <atomic>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace VeltraRender;

namespace {

// ---- progress of each thread, readable by the watchdog at any time ----

const int RingSize = 12;

struct Track {
    const char* name = "";
    std::atomic<uint64_t> operations{0};
    std::atomic<const char*> last[RingSize] = {};
    std::atomic<bool> finished{false};
    std::atomic<bool> waitingForFrame{false};  // blocked on the host's frame lock

    void Mark(const char* operation)
    {
        const uint64_t count = operations.load(std::memory_order_relaxed);
        last[count % RingSize].store(operation);
        operations.store(count + 1);
    }
};

std::vector<Track*> g_tracks;

void PrintTracks()
{
    for (Track* track : g_tracks) {
        const uint64_t count = track->operations.load();
        std::printf("  %-9s %llu operations%s%s, the last ones (oldest first):\n", track->name,
                    static_cast<unsigned long long>(count), track->finished ? " (finished)" : "",
                    track->waitingForFrame ? " (waiting for the host's frame lock)" : "");
        for (uint64_t i = count > RingSize ? count - RingSize : 0; i < count; ++i) {
            const char* operation = track->last[i % RingSize].load();
            std::printf("    #%llu %s\n", static_cast<unsigned long long>(i + 1), operation ? operation : "?");
        }
    }
    std::fflush(stdout);
}

LONG WINAPI ReportCrash(EXCEPTION_POINTERS* exception)
{
    std::printf("FAILED: exception %08lx in a thread; each thread's last operations:\n",
                exception->ExceptionRecord->ExceptionCode);
    PrintTracks();
    TerminateProcess(GetCurrentProcess(), 4);
    return EXCEPTION_EXECUTE_HANDLER;
}

// Ends the process when an unfinished thread's count stands still for `stallSeconds`.
void Watch(double stallSeconds, const std::atomic<bool>& done)
{
    std::vector<uint64_t> seen(g_tracks.size(), ~0ull);
    std::vector<Stopwatch> since(g_tracks.size());
    while (!done) {
        Sleep(250);
        for (size_t i = 0; i < g_tracks.size(); ++i) {
            const uint64_t count = g_tracks[i]->operations.load();
            if (count != seen[i] || g_tracks[i]->finished) {
                seen[i] = count;
                since[i] = Stopwatch();
            } else if (since[i].Seconds() > stallSeconds) {
                std::printf("FAILED: %s made no progress for %.0f s (deadlock?); each thread's last operations:\n",
                            g_tracks[i]->name, stallSeconds);
                PrintTracks();
                TerminateProcess(GetCurrentProcess(), 3);
            }
        }
    }
}

// Records the plug-in call about to be made (its source text), then makes it.
#define OP(call) (track.Mark(#call), (call))

// ---- what the host shares between its threads ----

std::mutex g_frameLock;  // one frame (bind ... unbind) at a time on the shared device
std::mutex g_renderObjectLock;  // render objects are made and destroyed one at a time
bool g_serialiseFrames = true;
bool g_neutralBlending = false;  // every blend state draws the source

struct FrameScope {
    std::unique_lock<std::mutex> lock{g_frameLock, std::defer_lock};
    explicit FrameScope(Track& track)
    {
        track.waitingForFrame = true;
        if (g_serialiseFrames)
            lock.lock();
        track.waitingForFrame = false;
    }
};

const int Width = 64, Height = 48;

// A host window whose client area is exactly the frame: a captioned window would be
// widened to the minimum tracking size, and Direct3D would stretch the frame into it.
class FrameWindow {
public:
    FrameWindow(int x, int y)
    {
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"VeltraStressFrame";
        RegisterClassW(&windowClass);  // fails harmlessly once registered
        _window = CreateWindowExW(0, L"VeltraStressFrame", L"Veltra stress", WS_POPUP | WS_VISIBLE, x, y, Width, Height,
                                  nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        if (!_window)
            throw std::runtime_error("the window could not be created");
        HostWindow::PumpMessages();
    }
    ~FrameWindow()
    {
        DestroyWindow(_window);
        HostWindow::PumpMessages();
    }
    FrameWindow(const FrameWindow&) = delete;
    FrameWindow& operator=(const FrameWindow&) = delete;
    HWND Handle() const { return _window; }

private:
    HWND _window = nullptr;
};

uint32_t Hash(uint32_t a, uint32_t b, uint32_t c)
{
    uint32_t h = a * 0x9E3779B1u ^ b * 0x85EBCA77u ^ c * 0xC2B2AE3Du;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    return h ^ h >> 13;
}

uint8_t Channel(uint32_t pixel, char name)
{
    switch (name) {
    case 'r':
        return pixel >> 16 & 0xFF;
    case 'g':
        return pixel >> 8 & 0xFF;
    case 'b':
        return pixel & 0xFF;
    default:
        return pixel >> 24;
    }
}

// Blend states: the first two draw the source, the third keeps the cleared target.
enum BlendKind { BlendOff, BlendOneZero, BlendZeroOne, BlendKinds };
const char* const BlendNames[BlendKinds] = {"blend off", "blend one/zero", "blend zero/one"};

BlendSettings BlendOf(BlendKind kind)
{
    BlendSettings settings;
    if (g_neutralBlending)
        kind = BlendOff;
    if (kind != BlendOff) {
        settings.enableBlending = true;
        settings.srcColorFactor = settings.srcAlphaFactor = kind == BlendOneZero ? bfOne : bfZero;
        settings.dstColorFactor = settings.dstAlphaFactor = kind == BlendOneZero ? bfZero : bfOne;
    }
    return settings;
}

// ---- one host thread ----

struct Figures {
    uint64_t frames = 0, readBacks = 0, bufferReadBacks = 0, windowFrames = 0, failures = 0;
};

class HostThread {
public:
    HostThread(const char* name, int index) : _index(index)
    {
        track.name = name;
        g_tracks.push_back(&track);
    }
    virtual ~HostThread() = default;

    void Start(uint64_t operations)
    {
        _operations = operations;
        _thread = std::thread([this] { Run(); });
    }
    void Join() { _thread.join(); }

    Track track;
    Figures figures;
    std::vector<std::string> failures;

protected:
    virtual void Begin() = 0;
    virtual void Iterate(int iteration) = 0;
    virtual void End() = 0;

    void Fail(const std::string& what)
    {
        ++figures.failures;
        if (failures.size() < 8)
            failures.push_back(std::string(track.name) + ": " + what);
    }

    boost::shared_ptr<IResShaderGPU> Shader(IRender& render, const char* vertex, const std::string& pixel)
    {
        ShaderSettings settings;
        settings.vertexShaderCode = vertex;
        settings.pixelShaderCode = pixel;
        return boost::dynamic_pointer_cast<IResShaderGPU>(OP(render.CreateResourceGPU(settings)));
    }

    // Drops a resource; every other time DestroyResource first, as hosts do both.
    template <typename Resource>
    void Drop(IRender& render, boost::shared_ptr<Resource>& resource, int generation)
    {
        if (resource && generation % 2 == 0)
            OP(render.DestroyResource(boost::shared_ptr<IResource>(resource)));
        resource.reset();
    }

    // The pixels of a target, read back through a CPU texture (empty when nothing locks).
    std::vector<uint32_t> ReadBack(IRender& render, const boost::shared_ptr<IResTextureGPU>& target,
                                   const boost::shared_ptr<IResTextureCPU>& readBack, int width, int height)
    {
        OP(render.TransferResource(target, readBack));
        const LockedMemory locked = OP(render.LockResource(readBack));
        std::vector<uint32_t> pixels(locked.bits ? width * height : 0);
        for (int y = 0; locked.bits && y < height; ++y)
            std::memcpy(&pixels[y * width],
                        static_cast<const uint8_t*>(locked.bits) + static_cast<size_t>(y) * locked.pitch, width * 4);
        OP(render.UnlockResource(readBack));
        return pixels;
    }

    // Pixels other than expected(x, y) (a channel off by more than `tolerance`), and the first.
    template <typename Expected>
    static int Differences(const std::vector<uint32_t>& pixels, int width, int tolerance, Expected expected,
                           std::string* first = nullptr)
    {
        int wrong = 0;
        for (size_t i = 0; i < pixels.size(); ++i) {
            const int x = static_cast<int>(i % width), y = static_cast<int>(i / width);
            const uint32_t actual = pixels[i], wanted = expected(x, y);
            bool same = true;
            for (int shift = 0; shift < 32; shift += 8) {
                const int difference =
                    static_cast<int>(actual >> shift & 0xFF) - static_cast<int>(wanted >> shift & 0xFF);
                same = same && difference <= tolerance && -difference <= tolerance;
            }
            if (!same && wrong++ == 0 && first) {
                char text[96];
                std::snprintf(text, sizeof text, "(%d,%d) is %08x, expected %08x", x, y, actual, wanted);
                *first = text;
            }
        }
        return wrong;
    }

    // Checks a frame read back; `otherBlend` is what the frame would show with the other
    // outcome of blending, which names the cause when that is what it shows.
    template <typename Expected, typename Other>
    bool FrameMatches(const std::vector<uint32_t>& pixels, int width, int tolerance, Expected expected,
                      Other otherBlend, const std::string& frame)
    {
        std::string first;
        const int wrong = Differences(pixels, width, tolerance, expected, &first);
        if (pixels.empty())
            Fail(frame + ": the read-back texture locked to nothing");
        else if (wrong)
            Fail(frame + ": " + std::to_string(wrong) + " pixels wrong, first " + first +
                 (Differences(pixels, width, tolerance, otherBlend) == 0
                      ? "; it shows the other blend outcome: the device kept blend states another render selected"
                      : ""));
        else
            ++figures.readBacks;
        return !pixels.empty() && !wrong;
    }

    // A vertex buffer filled through SetResourceData reads back the same bytes.
    void CheckBufferRoundTrip(IRender& render, const boost::shared_ptr<IResBufferGPU>& buffer, const float* values,
                              size_t count, int iteration)
    {
        OP(render.SetResourceData(values, buffer));
        const LockedMemory locked = OP(render.LockResource(buffer));
        const bool same = locked.bits && std::memcmp(locked.bits, values, count * sizeof(float)) == 0;
        OP(render.UnlockResource(buffer));
        if (same)
            ++figures.bufferReadBacks;
        else
            Fail("iteration " + std::to_string(iteration) + ": buffer data did not read back");
    }

    // What the window shows in its client area equals `expected` (colour channels).
    template <typename Expected>
    void CheckWindow(HWND window, Expected expected, int iteration)
    {
        HostWindow::PumpMessages();
        POINT origin = {0, 0};
        ClientToScreen(window, &origin);
        std::vector<uint32_t> shown(Width * Height);
        if (X11Capture(origin.x, origin.y, Width, Height, shown.data()) != 1) {
            Fail("the display could not be read");
            return;
        }
        int wrong = 0;
        char first[64] = "";
        for (int y = 0; y < Height; ++y)
            for (int x = 0; x < Width; ++x)
                if ((shown[y * Width + x] & 0xFFFFFF) != (expected(x, y) & 0xFFFFFF) && wrong++ == 0)
                    std::snprintf(first, sizeof first, "(%d,%d) shows %06x, not %06x", x, y,
                                  shown[y * Width + x] & 0xFFFFFF, expected(x, y) & 0xFFFFFF);
        if (wrong)
            Fail("frame " + std::to_string(iteration) + ": the window shows " + std::to_string(wrong) +
                 " pixels other than the frame, first " + first);
        else
            ++figures.windowFrames;
    }

    int _index;

private:
    void Run()
    {
        Guarded([this] {
            Begin();
            for (int iteration = 0; track.operations < _operations; ++iteration)
                Iterate(iteration);
        });
        Guarded([this] { End(); });  // also after a failure: the render must still shut down
        track.finished = true;
    }
    template <typename Steps>
    void Guarded(Steps steps)
    {
        try {
            steps();
        } catch (const Veltra::VeltraException& error) {
            Fail("VeltraException " + std::to_string(error.code) + " from " + Last());
        } catch (const std::exception& error) {
            Fail(std::string(error.what()) + " from " + Last());
        } catch (...) {
            Fail("an exception from " + Last());
        }
    }
    std::string Last() const
    {
        const uint64_t count = track.operations.load();
        const char* last = count ? track.last[(count - 1) % RingSize].load() : nullptr;
        return last ? last : "?";
    }

    uint64_t _operations = 0;
    std::thread _thread;
};

// Default-quad frames: an uploaded image sampled through the thread's own shader (its
// own channel order, a mask uniform) into its own target, read back pixel for pixel,
// and presented into the thread's window.
class QuadThread : public HostThread {
public:
    // `shared`: the render is shared with another thread (null: the thread makes its own).
    QuadThread(const char* name, int index, const char* order, boost::shared_ptr<IRender> shared,
               const PluginLibrary& plugin)
        : HostThread(name, index), _order(order), _render(std::move(shared)), _shared(_render != nullptr),
          _plugin(plugin)
    {
    }

private:
    void Begin() override
    {
        _window.reset(new FrameWindow(20 + 100 * _index, 300));
        if (!_shared) {
            {
                std::lock_guard<std::mutex> lock(g_renderObjectLock);
                _render = OP(_plugin.CreateRender());
            }
            RenderSettings settings = OffscreenSettings(Width, Height);
            settings.window = _window->Handle();
            if (!OP(InitializeRender(_render, settings)))
                throw std::runtime_error("Initialize failed");
        }
        _image.resize(Width * Height);
    }

    void Iterate(int i) override
    {
        IRender& render = *_render;
        if (i % 4 == 0) {
            Drop(render, _source, i / 4);
            Drop(render, _target, i / 4);
            Drop(render, _readBack, i / 4);
            _source = OP(CreateGpuTexture(render, Width, Height, pfColor0, Width * 4));
            _target = OP(CreateGpuTexture(render, Width, Height));
            _readBack = OP(CreateCpuTexture(render, Width, Height));
        }
        if (i % 10 == 0) {
            Drop(render, _shader, i / 10);
            _shader = Shader(render, QuadVertexShader,
                             std::string("uniform sampler2D image; uniform float4 mask;\n"
                                         "float4 main(float2 uv : TEXCOORD0) : COLOR { return tex2D(image, uv).") +
                                 _order + " * mask; }");
        }
        if (i % 6 == 0) {
            for (int kind = 0; kind < BlendKinds; ++kind)
                _blends[kind] = OP(render.CreateState(BlendOf(static_cast<BlendKind>(kind))));
            RasterSettings raster;
            raster.enableMultisampling = i % 12 == 0;
            _raster = OP(render.CreateState(raster));
            DepthSettings depth;  // the test on, passing always, or off: the same pixels
            depth.depthTest = i % 12 == 0;
            depth.depthFunction = dfAlways;
            _depth = OP(render.CreateState(depth));
            SamplerSettings sampler;
            sampler.wrapHorizontal = sampler.wrapVertical = i % 12 == 0 ? twRepeat : twClampToEdge;
            _sampler = OP(render.CreateState(sampler));
        }
        if (i % 5 == 0) {
            Drop(render, _buffer, i / 5);
            _buffer = OP(CreateBuffer(render, bkTexCoordsSized, 4, 4));  // 16 floats
        }

        // This frame's image, mask and blend state.
        for (int p = 0; p < Width * Height; ++p)
            _image[p] = Hash(_index, i, p);
        OP(render.SetResourceData(_image.data(), _source));
        const uint32_t maskBits = Hash(_index, i, 99999) | (i % 3 == 0 ? 0xF : 0);
        const float mask[4] = {maskBits & 1 ? 1.0f : 0.0f, maskBits & 2 ? 1.0f : 0.0f, maskBits & 4 ? 1.0f : 0.0f,
                               maskBits & 8 ? 1.0f : 0.0f};
        OP(_shader->SetPixelParameter("mask", ShaderValue::Floats(mask, 4)));
        const BlendKind blend = static_cast<BlendKind>(Hash(_index, i, 7) % BlendKinds);
        const bool clearOnly = i % 7 == 3;
        const bool keepsTarget = clearOnly || (blend == BlendZeroOne && !g_neutralBlending);
        auto drawn = [&](int x, int y) -> uint32_t {
            const uint32_t texel = _image[y * Width + x];
            const uint32_t r = Channel(texel, _order[0]), g = Channel(texel, _order[1]), b = Channel(texel, _order[2]),
                           a = Channel(texel, _order[3]);
            return (mask[3] ? a << 24 : 0) | (mask[0] ? r << 16 : 0) | (mask[1] ? g << 8 : 0) | (mask[2] ? b : 0);
        };
        auto cleared = [](int, int) -> uint32_t { return 0; };  // transparent black: the clear colour
        auto expected = [&](int x, int y) { return keepsTarget ? cleared(x, y) : drawn(x, y); };
        auto otherBlend = [&](int x, int y) { return clearOnly ? ~0u : keepsTarget ? drawn(x, y) : cleared(x, y); };

        // Never the first frame: Wine shows a new swap chain's first frame wrongly.
        const bool checkWindow = i % 5 == 4;
        {
            FrameScope frame(track);
            OP(render.TargetResource(_target, 0));
            OP(render.Clear(i % 2 ? 0x00 : 0x06));
            if (!clearOnly) {
                OP(render.SelectState(_raster, 0));
                OP(render.SelectState(_depth, 0));
                OP(render.SelectState(_blends[blend], 0));
                OP(render.SelectState(_sampler, 0));
                OP(render.SelectResource(_shader, 0));
                OP(render.SelectResource(_source, 0));
                OP(render.DrawQuad());
                OP(render.DeSelectResource(_source, 0));
                OP(render.DeSelectResource(_shader, 0));
            }
            OP(render.DeSelectResource(_target, 0));
            if (_shared)
                Present(checkWindow);  // the window is binding state of the shared render
        }
        if (!_shared)
            Present(checkWindow);
        OP(render.Flush(i % 4 == 0));
        ++figures.frames;
        const std::string frame = "frame " + std::to_string(i) + (clearOnly ? " (clear only)" : "") + ", " +
                                  BlendNames[blend] + ", mask " + std::to_string(maskBits & 0xF);
        const std::vector<uint32_t> pixels = ReadBack(render, _target, _readBack, Width, Height);
        if (FrameMatches(pixels, Width, 0, expected, otherBlend, frame) && checkWindow)
            CheckWindow(_window->Handle(), expected, i);

        float values[16];
        for (int v = 0; v < 16; ++v)
            values[v] = static_cast<float>(Hash(_index, i, v) % 100000) / 7.0f;
        CheckBufferRoundTrip(render, _buffer, values, 16, i);
        HostWindow::PumpMessages();
    }

    // Presents the target into the thread's window; before a window check the frame is
    // waited for.
    void Present(bool checkWindow)
    {
        if (_shared)
            OP(_render->ChangeRenderWindow(_window->Handle(), 0, 0, 0, 0));
        if (!OP(_render->DisplayBuffer(_target, 0)))
            Fail("DisplayBuffer showed nothing");
        if (checkWindow)
            OP(_render->Flush(true));
    }

    void End() override
    {
        if (!_render)
            return;
        // Everything the thread made goes explicitly, so that the device's references
        // return to their baseline even where the render still remembers a binding.
        IRender& render = *_render;
        for (boost::shared_ptr<IResource> resource :
             std::initializer_list<boost::shared_ptr<IResource>>{_source, _target, _readBack, _shader, _buffer})
            if (resource)
                OP(render.DestroyResource(resource));
        _source.reset();
        _target.reset();
        _readBack.reset();
        _shader.reset();
        _buffer.reset();
        for (auto& state : _blends)
            state.reset();
        _raster.reset();
        _depth.reset();
        _sampler.reset();
        if (!_shared) {
            if (!OP(_render->Shutdown()))
                Fail("Shutdown failed");
            std::lock_guard<std::mutex> lock(g_renderObjectLock);
            _render.reset();
        }
        _window.reset();
    }

    const char* _order;
    boost::shared_ptr<IRender> _render;
    const bool _shared;
    const PluginLibrary& _plugin;
    std::unique_ptr<FrameWindow> _window;
    std::vector<uint32_t> _image;
    boost::shared_ptr<IResTextureGPU> _source, _target;
    boost::shared_ptr<IResTextureCPU> _readBack;
    boost::shared_ptr<IResShaderGPU> _shader;
    boost::shared_ptr<IResBufferGPU> _buffer;
    boost::shared_ptr<IState> _blends[BlendKinds], _raster, _depth, _sampler;
};

// Host-mesh frames on the thread's own render: a rectangle over the whole target whose
// colour comes from a texture-coordinate buffer uploaded each frame and a uniform,
// drawn with Draw into targets whose size changes, indices rewritten through Lock.
class MeshThread : public HostThread {
public:
    MeshThread(const char* name, int index, const PluginLibrary& plugin) : HostThread(name, index), _plugin(plugin) {}

private:
    void Begin() override
    {
        {
            std::lock_guard<std::mutex> lock(g_renderObjectLock);
            _render = OP(_plugin.CreateRender());
        }
        RenderSettings settings = OffscreenSettings(Width, Height);
        if (!OP(InitializeRender(_render, settings)))
            throw std::runtime_error("Initialize failed");
    }

    void Iterate(int i) override
    {
        static const float Positions[] = {-1, -1, 0.5f, 1, -1, 0.5f, 1, 1, 0.5f, -1, 1, 0.5f};
        static const uint32_t Orders[2][6] = {{0, 1, 2, 0, 2, 3}, {3, 2, 0, 2, 1, 0}};
        static const int Sizes[3][2] = {{64, 48}, {40, 30}, {96, 72}};
        IRender& render = *_render;
        if (i % 4 == 0) {
            Drop(render, _target, i / 4);
            Drop(render, _readBack, i / 4);
            _width = Sizes[i / 4 % 3][0];
            _height = Sizes[i / 4 % 3][1];
            _target = OP(CreateGpuTexture(render, _width, _height));
            _readBack = OP(CreateCpuTexture(render, _width, _height));
        }
        if (i % 5 == 0) {
            Drop(render, _positions, i / 5);
            Drop(render, _coordinates, i / 5);
            Drop(render, _indices, i / 5);
            _positions = OP(CreateBuffer(render, bkPositions, 3, 4, Positions));
            _coordinates = OP(CreateBuffer(render, bkTexCoordsSized, 2, 4));
            _indices = OP(CreateBuffer(render, bkIndices, 0, 6, Orders[0]));
        }
        if (i % 10 == 0) {
            Drop(render, _shader, i / 10);
            _shader = Shader(render, R"(
struct Output { float4 position : POSITION; float4 color : COLOR0; };
Output main(float4 position : POSITION, float2 uv : TEXCOORD0)
{
    Output output;
    output.position = float4(position.xyz, 1);
    output.color = float4(uv.x, uv.y, 0, 1);
    return output;
})",
                             "uniform float4 level; float4 main(float4 color : COLOR0) : COLOR "
                             "{ return float4(color.x, color.y, level.z, 1); }");
        }
        if (i % 6 == 0) {
            for (int kind = 0; kind < BlendKinds; ++kind)
                _blends[kind] = OP(render.CreateState(BlendOf(static_cast<BlendKind>(kind))));
            _raster = OP(render.CreateState(RasterSettings()));
            _depth = OP(render.CreateState(DepthSettings()));
        }

        // This frame's colour: red and green through the vertices, blue through a uniform.
        const uint32_t colour = Hash(_index, i, 1) & 0xFFFFFF;
        const float red = (colour >> 16) / 255.0f, green = (colour >> 8 & 0xFF) / 255.0f;
        const float coordinates[8] = {red, green, red, green, red, green, red, green};
        CheckBufferRoundTrip(render, _coordinates, coordinates, 8, i);
        const float level[4] = {0, 0, (colour & 0xFF) / 255.0f, 0};
        OP(_shader->SetPixelParameter("level", ShaderValue::Floats(level, 4)));
        const LockedMemory indices = OP(render.LockResource(_indices));
        if (indices.bits)
            std::memcpy(indices.bits, Orders[i % 2], sizeof Orders[0]);
        OP(render.UnlockResource(_indices));
        const BlendKind blend = static_cast<BlendKind>(Hash(_index, i, 7) % BlendKinds);
        {
            FrameScope frame(track);
            OP(render.TargetResource(_target, 0));
            OP(render.Clear(0x00));
            OP(render.SelectState(_raster, 0));
            OP(render.SelectState(_depth, 0));
            OP(render.SelectState(_blends[blend], 0));
            OP(render.SelectResource(_shader, 0));
            OP(render.SelectResource(_positions, 0));
            OP(render.SelectResource(_coordinates, 0));
            OP(render.SelectResource(_indices, 0));
            OP(render.Draw());
            OP(render.DeSelectResource(_indices, 0));
            OP(render.DeSelectResource(_coordinates, 0));
            OP(render.DeSelectResource(_positions, 0));
            OP(render.DeSelectResource(_shader, 0));
            OP(render.DeSelectResource(_target, 0));
        }
        OP(render.Flush(i % 3 == 0));
        ++figures.frames;
        const uint32_t drawn = 0xFF000000u | colour, cleared = 0;
        const uint32_t wanted = blend == BlendZeroOne && !g_neutralBlending ? cleared : drawn;
        FrameMatches(
            ReadBack(render, _target, _readBack, _width, _height), _width, 1, [&](int, int) { return wanted; },
            [&](int, int) { return wanted == drawn ? cleared : drawn; },
            "frame " + std::to_string(i) + " (" + std::to_string(_width) + "x" + std::to_string(_height) + "), " +
                BlendNames[blend]);
    }

    void End() override
    {
        if (!_render)
            return;
        for (boost::shared_ptr<IResource> resource : std::initializer_list<boost::shared_ptr<IResource>>{
                 _target, _readBack, _positions, _coordinates, _indices, _shader})
            if (resource)
                OP(_render->DestroyResource(resource));
        if (!OP(_render->Shutdown()))
            Fail("Shutdown failed");
        std::lock_guard<std::mutex> lock(g_renderObjectLock);
        _target.reset();
        _readBack.reset();
        _positions.reset();
        _coordinates.reset();
        _indices.reset();
        _shader.reset();
        for (auto& state : _blends)
            state.reset();
        _raster.reset();
        _depth.reset();
        _render.reset();
    }

    const PluginLibrary& _plugin;
    boost::shared_ptr<IRender> _render;
    int _width = Width, _height = Height;
    boost::shared_ptr<IResTextureGPU> _target;
    boost::shared_ptr<IResTextureCPU> _readBack;
    boost::shared_ptr<IResBufferGPU> _positions, _coordinates, _indices;
    boost::shared_ptr<IResShaderGPU> _shader;
    boost::shared_ptr<IState> _blends[BlendKinds], _raster, _depth;
};

} // namespace

int main(int argc, char** argv)
{
    const long operations = NumberArgument(argc, argv, "--operations", "VELTRA_STRESS_OPERATIONS", 10000);
    const double stallSeconds = NumberArgument(argc, argv, "--stall-seconds", "VELTRA_STRESS_STALL_SECONDS", 60);
    g_serialiseFrames = !FlagArgument(argc, argv, "--unserialised-frames");
    g_neutralBlending = FlagArgument(argc, argv, "--neutral-blending");
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    std::printf("stress: 4 host threads, %ld operations each, frames %s, watchdog after %.0f s without progress\n",
                operations, g_serialiseFrames ? "serialised by the host" : "NOT serialised", stallSeconds);
    SetUnhandledExceptionFilter(ReportCrash);

    Track mainTrack;
    mainTrack.name = "main";
    g_tracks.push_back(&mainTrack);
    Track& track = mainTrack;
    LogCapture log(L"293:0");  // and whatever the plug-in always writes (failed calls)
    PluginLibrary plugin;

    // The shared render, made, initialised and shut down on this thread.
    FrameWindow window(420, 300);
    boost::shared_ptr<IRender> shared = OP(plugin.CreateRender());
    RenderSettings settings = OffscreenSettings(Width, Height);
    settings.window = window.Handle();
    if (!OP(InitializeRender(shared, settings))) {
        std::printf("FAILED: the shared render did not initialise\n");
        return 1;
    }
    IDirect3DDevice9* device = shared->GetDevice();
    IDirect3D9* direct3D = nullptr;
    device->GetDirect3D(&direct3D);
    const ULONG baseline = DeviceReferences(device);

    std::vector<std::unique_ptr<HostThread>> threads;
    threads.emplace_back(new QuadThread("window", 0, "rgba", nullptr, plugin));
    threads.emplace_back(new MeshThread("offscreen", 1, plugin));
    threads.emplace_back(new QuadThread("shared-1", 2, "gbra", shared, plugin));
    threads.emplace_back(new QuadThread("shared-2", 3, "brga", shared, plugin));
    std::atomic<bool> done{false};
    std::thread watchdog(Watch, stallSeconds, std::cref(done));

    const Stopwatch clock;
    mainTrack.finished = true;  // while it only waits for the host threads
    for (auto& thread : threads)
        thread->Start(static_cast<uint64_t>(operations));
    for (bool running = true; running;) {
        HostWindow::PumpMessages();  // this thread owns the shared render's first window
        Sleep(10);
        running = false;
        for (auto& thread : threads)
            running = running || !thread->track.finished;
    }
    for (auto& thread : threads)
        thread->Join();
    const double seconds = clock.Seconds();
    mainTrack.finished = false;

    const ULONG references = DeviceReferences(device);
    const bool shutDown = OP(shared->Shutdown());
    shared.reset();
    const ULONG left = direct3D->Release();
    done = true;
    watchdog.join();

    Figures total;
    uint64_t totalOperations = 0;
    std::vector<std::string> failures;
    std::printf("\n%-10s %10s %8s %10s %14s %13s %9s\n", "thread", "operations", "frames", "read-backs",
                "buffer checks", "window checks", "failures");
    for (auto& thread : threads) {
        const Figures& f = thread->figures;
        std::printf("%-10s %10llu %8llu %10llu %14llu %13llu %9llu\n", thread->track.name,
                    static_cast<unsigned long long>(thread->track.operations.load()),
                    static_cast<unsigned long long>(f.frames), static_cast<unsigned long long>(f.readBacks),
                    static_cast<unsigned long long>(f.bufferReadBacks), static_cast<unsigned long long>(f.windowFrames),
                    static_cast<unsigned long long>(f.failures));
        totalOperations += thread->track.operations;
        total.frames += f.frames;
        total.readBacks += f.readBacks;
        total.bufferReadBacks += f.bufferReadBacks;
        total.windowFrames += f.windowFrames;
        total.failures += f.failures;
        failures.insert(failures.end(), thread->failures.begin(), thread->failures.end());
    }
    std::printf("total: %llu operations in %.1f s, %.0f operations/s; %llu frames, %llu texture read-backs, "
                "%llu buffer read-backs and %llu window frames verified\n",
                static_cast<unsigned long long>(totalOperations), seconds, totalOperations / seconds,
                static_cast<unsigned long long>(total.frames), static_cast<unsigned long long>(total.readBacks),
                static_cast<unsigned long long>(total.bufferReadBacks),
                static_cast<unsigned long long>(total.windowFrames));

    const size_t directXErrors = log.Count(L"DirectX Error"), records = log.Records().size();
    if (references != baseline)
        failures.push_back("the device holds " + std::to_string(references) + " references after the threads, " +
                           std::to_string(baseline) + " before");
    if (!shutDown)
        failures.push_back("the last Shutdown failed");
    if (left != 0)
        failures.push_back("Direct3D still has " + std::to_string(left) + " references after the last Shutdown");
    if (records)
        failures.push_back(std::to_string(records) + " log records, " + std::to_string(directXErrors) +
                           " of them failed Direct3D calls");
    std::printf("device references %lu (baseline %lu), last Shutdown %s, Direct3D references left %lu, "
                "%zu log records (%zu DirectX errors)\n",
                references, baseline, shutDown ? "succeeded" : "FAILED", left, records, directXErrors);
    if (total.failures || !failures.empty()) {
        std::printf("FAILED (%llu checks in the threads):\n", static_cast<unsigned long long>(total.failures));
        for (const std::string& failure : failures)
            std::printf("  %s\n", failure.c_str());
        if (records)
            std::printf("%s", log.Dump().substr(0, 4000).c_str());
        return 1;
    }
    std::printf("PASSED\n");
    return 0;
}
