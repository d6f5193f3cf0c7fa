// The plug-in's error reports caught while this object lives, through our sklog's
// control API, instead of being written out: its severe records (module 293, level 0)
// and what it writes whatever the levels say (every failed Direct3D call, an operation
// without a device). Level 1 stays off: it also carries notes such as a surface that
// its texture still references. The soak fails on any report but those of the Shutdowns
// on another thread that it makes on purpose.
#pragma once

#include <mutex>
#include <string>

class PluginErrors {
public:
    PluginErrors();
    ~PluginErrors();
    PluginErrors(const PluginErrors&) = delete;
    PluginErrors& operator=(const PluginErrors&) = delete;

    size_t Count() const;
    std::string First() const;

private:
    static void Receive(void* context, unsigned int module, unsigned int level, const wchar_t* text);

    mutable std::mutex _mutex;
    size_t _count = 0;
    std::string _first;
};
