#include "WinePaths.h"

#include <windows.h>

std::string WindowsPath(const std::string& path)
{
    typedef WCHAR*(CDECL * DosFileName)(const char*);
    const DosFileName toDos = reinterpret_cast<DosFileName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name")));
    WCHAR* dos = toDos && !path.empty() && path[0] == '/' ? toDos(path.c_str()) : nullptr;
    if (!dos)
        return path;
    std::string result;
    for (const WCHAR* c = dos; *c; ++c)
        result += static_cast<char>(*c);
    HeapFree(GetProcessHeap(), 0, dos);
    return result;
}
