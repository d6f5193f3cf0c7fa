// Where the host finds its files: the folder of veltra-host.exe (the runtime folder,
// with the plug-in and assets/ beside it) and paths written relative to a scene file.
#pragma once

#include <string>

// The folder of the running program, ending in a separator.
std::string ProgramFolder();

// A file shipped in the assets folder beside the program.
std::string AssetPath(const std::string& relative);

// The folder part of `path`, ending in a separator; empty for a bare file name.
std::string FolderOf(const std::string& path);

// `path` as seen from `folder`: absolute paths stay as they are.
std::string ResolvePath(const std::string& folder, const std::string& path);

bool FileExists(const std::string& path);

// The whole file; false when it cannot be read.
bool ReadTextFile(const std::string& path, std::string& text);

// Why `path` cannot be read as a file, in a few words ("no such file", "no such
// folder", "is a folder", "not a regular file", "permission denied", or the system's
// own text); empty when it can.
std::string ReadProblem(const std::string& path);

// Reads a regular file of at most `limit` bytes; empty, or why it could not.
std::string ReadFileText(const std::string& path, size_t limit, std::string& text);

// Why `path` cannot be written, found by creating or opening it without writing
// anything (a file it creates is removed again); empty when it can.
std::string WriteProblem(const std::string& path);

// The JSON file a command writes its figures to: `given`, or `fallback` in the current
// folder. Throws HostFailure ("cannot write PATH: why") when it cannot be written.
std::string WritableJsonPath(const std::string& given, const char* fallback);

// The full path of `path` as the user's shell names it: the Unix path under Wine
// (Z:\tmp\x.json is /tmp/x.json), else the Windows one.
std::string FullPath(const std::string& path);

// The system's folder for temporary files, ending in a separator.
std::string TemporaryFolder();

// A Windows error code in a few words.
std::string SystemErrorText(unsigned long error);

// UTF-16 <-> UTF-8 for the plug-in's wide strings and the Windows API.
std::string Narrow(const std::wstring& text);
std::wstring Widen(const std::string& text);
