#pragma once
// Writing records as the plug-in does, and a temporary log file for one test.

#include <sklog.h>

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdarg>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

inline void WriteRecord(unsigned int module, unsigned int level, const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    skcore::wvPrintf(module, level, format, args);
    va_end(args);
}

// A fresh file, named by VELTRA_LOG_FILE from construction on; removed at the end.
struct TemporaryLogFile {
    std::wstring path;

    TemporaryLogFile()
    {
        wchar_t folder[MAX_PATH];
        wchar_t name[MAX_PATH];
        GetTempPathW(MAX_PATH, folder);
        GetTempFileNameW(folder, L"vlg", 0, name);
        path = name;
        Name();
    }
    ~TemporaryLogFile()
    {
        // A session without a file makes the logger close the one it holds.
        SetEnvironmentVariableW(L"VELTRA_LOG_FILE", nullptr);
        skcore::Logger_Start();
        skcore::Logger_End();
        DeleteFileW(path.c_str());
    }
    void Name() const { SetEnvironmentVariableW(L"VELTRA_LOG_FILE", path.c_str()); }

    // The file's lines without their '\n'; the last line must have one too.
    std::vector<std::string> Lines() const
    {
        std::ifstream in(path.c_str(), std::ios::binary);
        const std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_TRUE(content.empty() || content.back() == '\n');
        std::vector<std::string> lines;
        for (size_t start = 0, end; (end = content.find('\n', start)) != std::string::npos; start = end + 1)
            lines.push_back(content.substr(start, end - start));
        return lines;
    }
};
