/*
 * The Windows side of a Wine "unixlib" bridge: a builtin DLL whose exports call
 * into its Unix library through ntdll. Shared by the bridges of this project.
 */
#ifndef VELTRA_WINE_UNIXLIB_H
#define VELTRA_WINE_UNIXLIB_H

#include <windows.h>

typedef UINT64 unixlib_handle_t;

/* Wine's ntdll: a data export holding the function that switches to the Unix
 * side and calls entry `code` of the module's __wine_unix_call_funcs. */
__declspec(dllimport) extern LONG(WINAPI *__wine_unix_call_dispatcher)(unixlib_handle_t handle,
                                                                      unsigned int code,
                                                                      void *args);

/* Not declared by mingw's headers; exported by every ntdll. */
__declspec(dllimport) LONG WINAPI NtQueryVirtualMemory(HANDLE process, LPCVOID address,
                                                       ULONG info_class, PVOID buffer,
                                                       SIZE_T length, SIZE_T *result_length);

/* Wine's information class: the handle of the Unix library that belongs to the
 * builtin module at `address` (loaded on first request). */
#define MEMORY_WINE_UNIX_FUNCS 1000

/* The Unix library of the builtin module `instance`; 0 when Wine cannot load it. */
static inline unixlib_handle_t wine_unixlib_open(HINSTANCE instance)
{
    const HANDLE current_process = (HANDLE)(LONG_PTR)-1;
    unixlib_handle_t handle = 0;
    if (NtQueryVirtualMemory(current_process, instance, MEMORY_WINE_UNIX_FUNCS, &handle, sizeof(handle), NULL) != 0)
        return 0;
    return handle;
}

#endif
