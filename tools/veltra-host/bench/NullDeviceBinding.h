// Makes the plug-in, loaded while this object lives, bind its d3d9.dll import to the
// do-nothing Direct3D in null-device/ beside the program, for measuring the
// plug-in's own CPU cost. Only the `bench-cpu` child process does this.
//
// Putting null-device/ on the DLL search path (SetDllDirectory) is what Windows needs:
// it is searched before the system folder. Wine prefers its builtin d3d9 for an
// import unless the load order says "native" for that file: scripts/wine-run names
// null-device\d3d9 by its full path in WINEDLLOVERRIDES, which affects no other
// load of d3d9.dll.
#pragma once

class NullDeviceBinding {
public:
    NullDeviceBinding();
    ~NullDeviceBinding();
    NullDeviceBinding(const NullDeviceBinding&) = delete;
    NullDeviceBinding& operator=(const NullDeviceBinding&) = delete;
};
