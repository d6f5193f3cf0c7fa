#include "common/HostPaths.h"

#include "common/HostErrors.h"

#include <windows.h>

#include <fstream>
#include <sstream>
#include <vector>

std::string ProgramFolder()
{
    std::vector<wchar_t> path(MAX_PATH);
    DWORD length = 0;
    while ((length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()))) == path.size())
        path.resize(path.size() * 2);
    return FolderOf(Narrow(std::wstring(path.data(), length)));
}

std::string AssetPath(const std::string& relative)
{
    return ProgramFolder() + "assets\\" + relative;
}

std::string FolderOf(const std::string& path)
{
    const size_t separator = path.find_last_of("\\/");
    return separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
}

std::string ResolvePath(const std::string& folder, const std::string& path)
{
    const bool absolute = (!path.empty() && (path[0] == '\\' || path[0] == '/')) ||
                          (path.size() > 1 && path[1] == ':');
    return absolute ? path : folder + path;
}

bool FileExists(const std::string& path)
{
    const DWORD attributes = GetFileAttributesW(Widen(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool ReadTextFile(const std::string& path, std::string& text)
{
    std::ifstream file(Widen(path).c_str(), std::ios::binary);
    if (!file)
        return false;
    std::ostringstream contents;
    contents << file.rdbuf();
    text = contents.str();
    return !file.bad();
}

std::string Narrow(const std::wstring& text)
{
    if (text.empty())
        return std::string();
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &result[0], size, nullptr, nullptr);
    return result;
}

std::wstring Widen(const std::string& text)
{
    if (text.empty())
        return std::wstring();
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring result(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &result[0], size);
    return result;
}

std::string SystemErrorText(unsigned long error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
        return "no such file";
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
        return "no such folder";
    case ERROR_ACCESS_DENIED:
        return "permission denied";
    case ERROR_SHARING_VIOLATION:
        return "in use by another program";
    case ERROR_WRITE_PROTECT:
        return "the disk is write-protected";
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return "the disk is full";
    case ERROR_INVALID_NAME:
        return "not a valid file name";
    default:
        break;
    }
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string result = text ? Narrow(text) : "";
    LocalFree(text);
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r' || result.back() == '.'))
        result.pop_back();
    return result.empty() ? "Windows error " + std::to_string(error) : result;
}

namespace {

bool IsFolder(const std::string& path)
{
    const DWORD attributes = GetFileAttributesW(Widen(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A handle that closes itself.
struct FileHandle {
    HANDLE handle;
    ~FileHandle()
    {
        if (handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
    }
};

} // namespace

std::string ReadProblem(const std::string& path)
{
    if (path.empty())
        return "no file name";
    if (IsFolder(path))
        return "is a folder";
    const FileHandle file{CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)};
    if (file.handle == INVALID_HANDLE_VALUE)
        return SystemErrorText(GetLastError());
    if (GetFileType(file.handle) != FILE_TYPE_DISK)
        return "not a regular file";
    return "";
}

std::string ReadFileText(const std::string& path, size_t limit, std::string& text)
{
    const std::string problem = ReadProblem(path);
    if (!problem.empty())
        return problem;
    const FileHandle file{CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)};
    LARGE_INTEGER size = {};
    if (file.handle == INVALID_HANDLE_VALUE || !GetFileSizeEx(file.handle, &size))
        return SystemErrorText(GetLastError());
    if (static_cast<unsigned long long>(size.QuadPart) > limit)
        return "is " + std::to_string(size.QuadPart) + " bytes, more than the " + std::to_string(limit) +
               " bytes allowed";
    text.assign(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!text.empty() && (!ReadFile(file.handle, &text[0], static_cast<DWORD>(text.size()), &read, nullptr) ||
                          read != text.size()))
        return SystemErrorText(GetLastError());
    return "";
}

std::string WriteProblem(const std::string& path)
{
    if (path.empty())
        return "no file name";
    if (IsFolder(path))
        return "is a folder";
    const std::string folder = FolderOf(path);
    if (!folder.empty() && !IsFolder(folder))
        return "no such folder";
    const std::wstring wide = Widen(path);
    HANDLE file = CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    const DWORD error = GetLastError();
    if (file == INVALID_HANDLE_VALUE)
        return SystemErrorText(error);
    CloseHandle(file);
    if (error != ERROR_ALREADY_EXISTS)
        DeleteFileW(wide.c_str());
    return "";
}

std::string WritableJsonPath(const std::string& given, const char* fallback)
{
    const std::string path = given.empty() ? fallback : given;
    const std::string problem = WriteProblem(path);
    if (!problem.empty())
        throw HostFailure("cannot write " + path + ": " + problem);
    return path;
}

std::string FullPath(const std::string& path)
{
    std::vector<wchar_t> full(MAX_PATH * 4);
    const DWORD length = GetFullPathNameW(Widen(path).c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (!length || length >= full.size())
        return path;
    typedef char*(CDECL * UnixFileName)(const wchar_t*);
    const auto unixName = reinterpret_cast<UnixFileName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (char* name = unixName ? unixName(full.data()) : nullptr) {
        const std::string result = name;
        HeapFree(GetProcessHeap(), 0, name);
        return result;
    }
    return Narrow(std::wstring(full.data(), length));
}

std::string TemporaryFolder()
{
    wchar_t folder[MAX_PATH + 2] = {};
    const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    return length ? Narrow(std::wstring(folder, length)) : std::string();
}
