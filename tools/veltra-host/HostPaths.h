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

// UTF-16 <-> UTF-8 for the plug-in's wide strings and the Windows API.
std::string Narrow(const std::wstring& text);
std::wstring Widen(const std::string& text);
