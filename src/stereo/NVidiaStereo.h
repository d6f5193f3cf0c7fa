#pragma once
// The process's NVIDIA stereo controller: starts NVAPI, puts the driver into direct
// stereo mode, finds out whether stereo is available and enabled, and manages the
// shared device's stereo handle. Every stereo path fails soft: a render that asked
// for stereo presents in mono when any step is refused.

#include <cstdint>

class NVidiaStereo {
public:
    NVidiaStereo();
    ~NVidiaStereo();

    NVidiaStereo(const NVidiaStereo&) = delete;
    NVidiaStereo& operator=(const NVidiaStereo&) = delete;

    // Create, activate and destroy the stereo handle of the shared device
    // (g_stereoHandle). They act only when the controller g_pStereo exists and
    // stereo is available.
    static bool CreateHandle();
    static void ActivateHandle();
    static void DestroyHandle();

    bool nvapiInitialized = false;  // NVAPI started by the constructor; the destructor stops it
    bool stereoAvailable = false;   // started, direct mode set, enabled-query answered
    bool stereoEnabled = false;     // the driver reports stereo as enabled
    uint32_t useCount = 0;          // render generations holding the controller
    bool stereoActivated = false;   // a stereo swap chain has activated stereo
};
