#include "PluginErrors.h"

#include "HostPaths.h"

#include <sklog_control.h>

namespace {

const unsigned int PluginModule = 293;

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
    if (module != PluginModule)
        return;
    std::lock_guard<std::mutex> lock(self->_mutex);
    if (self->_count++ == 0)
        self->_first = text ? Narrow(text) : "";
}
