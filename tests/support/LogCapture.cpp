#include "LogCapture.h"

#include <sklog_control.h>

LogCapture::LogCapture(const wchar_t* levels)
{
    sklog_Configure(levels);
    sklog_SetSink(&LogCapture::Receive, this);
}

LogCapture::~LogCapture()
{
    sklog_SetSink(nullptr, nullptr);
    sklog_Configure(L"");
}

void LogCapture::Receive(void* context, unsigned int module, unsigned int level, const wchar_t* text)
{
    LogCapture* self = static_cast<LogCapture*>(context);
    std::lock_guard<std::mutex> lock(self->_mutex);
    self->_records.push_back(LogRecord{module, level, text ? text : L""});
}

std::vector<LogRecord> LogCapture::Records() const
{
    std::lock_guard<std::mutex> lock(_mutex);
    return _records;
}

void LogCapture::Clear()
{
    std::lock_guard<std::mutex> lock(_mutex);
    _records.clear();
}

size_t LogCapture::Count(const std::wstring& fragment, unsigned int level) const
{
    size_t count = 0;
    for (const LogRecord& record : Records())
        count += (level == AnyLevel || record.level == level) && record.text.find(fragment) != std::wstring::npos;
    return count;
}

std::string LogCapture::Dump() const
{
    std::string out;
    for (const LogRecord& record : Records()) {
        out += std::to_string(record.module) + "/" + std::to_string(record.level) + " ";
        for (wchar_t c : record.text)
            out += c < 128 ? static_cast<char>(c) : '?';
        if (out.back() != '\n')
            out += '\n';
    }
    return out;
}
