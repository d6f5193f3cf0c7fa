#pragma once
// Captures the log records written while it lives, and sets the enabled levels
// (same syntax as VELTRA_LOG). Restores normal output and no levels on destruction.

#include <sklog_control.h>

#include <mutex>
#include <string>
#include <vector>

struct LogRecord {
    unsigned int module;
    unsigned int level;
    std::wstring text;
};

class LogCapture {
public:
    explicit LogCapture(const wchar_t* levels = L"293:0-5,24");
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    void SetLevels(const wchar_t* levels) { sklog_Configure(levels); }
    std::vector<LogRecord> Records() const;
    void Clear();

    // Records whose text contains `fragment`, optionally only those of one level.
    size_t Count(const std::wstring& fragment, unsigned int level = AnyLevel) const;
    // Records at level 0 (severe) or 1 (error): a clean run writes none.
    size_t Problems() const { return Count(L"", 0) + Count(L"", 1); }
    // All records, one per line, for failure messages.
    std::string Dump() const;

private:
    static const unsigned int AnyLevel = ~0u;
    static void Receive(void* context, unsigned int module, unsigned int level, const wchar_t* text);

    mutable std::mutex _mutex;
    std::vector<LogRecord> _records;
};
