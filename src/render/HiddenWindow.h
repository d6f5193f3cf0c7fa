#pragma once
// The window class of the plug-in and the hidden window that owns the shared device.

#include <windows.h>

extern const wchar_t* const RenderWindowClassName;

// Registers "VeltraRender" under the host executable's instance; the result is ignored
// (a class left registered by an earlier generation serves as well).
void RegisterRenderWindowClass();
void UnregisterRenderWindowClass();

// A never-shown 1280 x 720 window of that class.
HWND CreateHiddenWindow();

// Destroys the window and dispatches every message still waiting for it. Called on
// another thread than the window's, it leaves the window to its own thread: see
// DestroyEarlierHiddenWindows.
void DestroyHiddenWindow(HWND window);

// Destroys the windows of this class that the calling thread still owns, except
// `current`: the ones a Shutdown on another thread had to leave. Runs once a new device
// exists, when Direct3D no longer draws on them.
void DestroyEarlierHiddenWindows(HWND current);
