// What `veltra-host --help` and `veltra-host COMMAND --help` print.
#include "commands/CommandLine.h"

#include <map>

namespace {

const char* const Overview = R"(usage: veltra-host COMMAND [OPTIONS]
       veltra-host COMMAND --help      the options of one command

The reference host of the VeltraRenderDirectX plug-in: it loads the plug-in as the
editor does and drives it only through IRender.

Commands:
  info       the plug-in's path and version, the adapter, driver, shader level, stereo
  render     composite a scene through the plug-in into PNG files
  display    show a scene, animated, in a window
  validate   check scene files without rendering them
  bench      the plug-in's frame, transfer and per-draw times against plain
             Direct3D 9
  soak       create and destroy every kind of object thousands of times, watching
             the process's memory and handles

Options:
  -h, --help     this text
  --version      the versions of veltra-host and of the plug-in

An option's value follows it (--frames 3) or is attached with = (--frames=3); a value
that looks like an option (-o -q) is a mistake.

Without a scene file, render and display use the built-in scene. Scene files are
JSON, described in SCENES.md and scene.schema.json (tools/veltra-host/scene/ in the sources).

Exit codes: 0 done; 2 a mistake in a scene or on the command line (one message naming
the file and the place); 1 anything else (no device, a file that cannot be written,
a soak that found growth).
)";

const std::map<std::string, const char*> Commands = {
    {"info", R"(usage: veltra-host info

Prints where the plug-in was loaded from and its version, and what its render reports:
name, adapter, vendor, driver version, shader level and the stereo flags.
)"},
    {"render", R"(usage: veltra-host render [SCENE.json] [OPTIONS]

Composites the scene's frames through the plug-in, reads each one back through a CPU
texture and writes it as a PNG file. The path of each file goes to standard output;
progress (on a terminal) and a summary of the frame times go to standard error.
Output files are checked before anything is drawn.

  -o, --output OUT    the PNG file, or an image-sequence pattern such as out-%04d.png, where
                      %d or %0Nd is the frame number, counted from 1 (default render.png).
                      Several frames without a pattern are written as OUT-0001.png ...
  -y, --overwrite     replace files that exist (without it they are a mistake: exit 2)
  --size WxH          output size in pixels, 1 to 8192 (default: the scene's size);
                      rectangles and checker cells scale with it
  --frames N          frames of the animation: the effects' time runs from 0 on the
                      first to 1 on the last (default: the scene's "frames")
  --range FIRST-LAST  only these frames of the animation; files keep their numbers
  --time T            one frame at effect time T, 0 to 1 (default for a single frame:
                      the scene's "time")
  -q, --quiet         no progress and no summary
)"},
    {"display", R"(usage: veltra-host display [SCENE.json] [OPTIONS]

Presents the scene, animated, into a window through DisplayBuffer until the time or the
number of frames is up, or the window is closed (Escape closes it too). Prints the
frames per second, counted from the first presented frame.

  --size WxH      frame and window size in pixels, 1 to 8192 (default: the scene's size)
  --seconds S     how long to run (default 10 s, or until --frames are presented)
  --frames N      frames to present; the effects' time loops over N frames
                  (default: the scene's "frames", or 100 for a scene of one frame)
  --time T        a still frame at effect time T, 0 to 1
)"},
    {"validate", R"(usage: veltra-host validate SCENE.json [SCENE.json ...] [--size WxH]

Checks each scene as render would, without a device and without drawing: the JSON,
every key, value and limit, the image and effect files (each effect compiled by Cg for
ps_3_0, the profile of this machine's device), and the textures the scene needs at its
size (or at --size). Prints "SCENE: valid" with what it holds for each good scene on
standard output, and one message naming the file and the place for each mistake on
standard error. Exit 0 when every scene is valid, 2 otherwise.
)"},
    {"bench", R"(usage: veltra-host bench [--runs N] [--draws N] [--only KIND] [--json OUT.json] [-q]

Measures the plug-in against the same work done with plain Direct3D 9 calls on the
benchmark's own device, in interleaved pairs:
  frame       a frame of the built-in scene (upload, every pass, read back) at
              1920 x 1080 and 3840 x 2160, through PluginCompositor and PlainCompositor
  upload      SetResourceData of a 1920 x 1080 image and a draw that samples it,
              against a 9Ex texture over the host's memory + UpdateSurface and the
              same draw
  read-back   TransferResource + LockResource + copy of a frame just drawn, against
              GetRenderTargetData + LockRect + the same copy
  draw-heavy  N draws of a 2 x 2 quad a frame, each SelectResource (positions,
              indices) + Draw + DeSelectResource x2, against SetStreamSource +
              SetIndices + DrawIndexedPrimitive with the declaration made once
with memcpy of the same bytes and an upload through one kept system-memory texture
beside the transfers, and the plug-in's own CPU time per draw on a Direct3D that does
nothing. After every pair both sides' pixels are checked (exit 1 when they are wrong).
Every figure is min / median / max of its samples; every ratio is taken per pair and
given with its spread.

  --runs N        samples of each figure, at least 3 (default 15)
  --draws N       draws a frame of the draw-heavy row, 1 to 100000 (default 2000)
  --only KIND     one kind of row: frames, transfers, draws or cpu
  --json OUT.json where the samples and the machine's description go (default:
                  bench.json in the current folder)
  -q, --quiet     no progress
)"},
    {"soak", R"(usage: veltra-host soak [--cycles N] [--lifecycles N] [--json OUT.json] [--baseline] [-q]

Creates, uses and destroys each kind of object through IRender N times: vertex and
index buffers, shaders, GPU textures, CPU textures, the five kinds of state, and
renders joining the shared device; then Initialize/Shutdown of the only render, each
making and releasing the device. After a warm-up of a tenth of the cycles (at least
10) the process's private bytes and handles are sampled about 50 times a phase.

It fails (exit 1) when a cycle does not do what it should (every 25th draw is read
back), the plug-in logs an error, the device's references at the end of a phase
differ from those after its warm-up, Direct3D keeps references after a last
Shutdown, the handles end above their count after the warm-up,
or private bytes grow between the first and the last sample by more than 1 MiB, plus
512 bytes a cycle in the shader phase (Wine's D3DX keeps 144 bytes per assembly).

  --cycles N       cycles of each kind of object, at least 20 (default 10000)
  --lifecycles N   Initialize/Shutdown cycles of the only render (default 200); with
                   fewer than 20 the warm-up is too short and growth is not judged
  --json OUT.json  the figures and samples (default: soak.json in the current folder)
  --baseline       the platform alone instead: D3DXAssembleShader and the device's life
                   cycle as plain calls, without the plug-in (what Wine, D3DX and Mesa
                   keep by themselves); prints bytes per cycle and never fails on them
  -q, --quiet      no progress
)"},
    {"bench-cpu", R"(usage: veltra-host bench-cpu [--batches N] [--iterations N]

The child process of bench: the plug-in's CPU time per draw, on the do-nothing
Direct3D in null-device/. Prints one line of JSON.
)"},
};

} // namespace

std::string UsageText()
{
    return Overview;
}

std::string CommandUsage(const std::string& command)
{
    const auto found = Commands.find(command);
    return found == Commands.end() ? UsageText() : found->second;
}
