#include "soak/PluginErrors.h"

#include "common/HostPaths.h"

#include <sklog_control.h>

#include <cwchar>

namespace {

const unsigned int PluginModule = 293;
// The soak shuts every other render down on another thread on purpose; the plug-in
// reports each such Shutdown, as it should.
const wchar_t* const ProvokedReport = L"Shutting down on different thread than created on";

} // namespace

PluginErrors::PluginErrors()
{
    sklog_Configure(L"293:0");
    sklog_SetSink(&PluginErrors::Receive, this);
}

PluginErrors::~PluginErrors()
{
    sklog_SetSink(nullptr, nullptr);
    sklog_Configure(L"");
}

size_t PluginErrors::Count() const
{
    std::lock_guard<std::mutex> lock(_mutex);
    return _count;
}

std::string PluginErrors::First() const
{
    std::lock_guard<std::mutex> lock(_mutex);
    return _first;
}

void PluginErrors::Receive(void* context, unsigned int module, unsigned int, const wchar_t* text)
{
    PluginErrors* self = static_cast<PluginErrors*>(context);
    if (module != PluginModule || (text && std::wcsstr(text, ProvokedReport)))
        return;
    std::lock_guard<std::mutex> lock(self->_mutex);
    if (self->_count++ == 0)
        self->_first = text ? Narrow(text) : "";
}
