#include "plugin/MissingModule.h"

#include "common/HostPaths.h"

#include <windows.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

// The names of the DLLs that the PE file at `path` imports; empty when it cannot be read.
std::vector<std::string> ImportedNames(const std::string& path)
{
    std::ifstream file(Widen(path).c_str(), std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const auto at = [&](size_t offset, size_t size) { return offset <= bytes.size() && size <= bytes.size() - offset; };
    IMAGE_DOS_HEADER dos;
    if (!at(0, sizeof dos))
        return {};
    std::memcpy(&dos, bytes.data(), sizeof dos);
    IMAGE_NT_HEADERS64 nt;
    if (dos.e_magic != IMAGE_DOS_SIGNATURE || dos.e_lfanew < 0 || !at(size_t(dos.e_lfanew), sizeof nt))
        return {};
    std::memcpy(&nt, bytes.data() + dos.e_lfanew, sizeof nt);
    if (nt.Signature != IMAGE_NT_SIGNATURE || nt.OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR64_MAGIC)
        return {};
    // Addresses in the image, as offsets in the file through the section that holds them.
    const size_t sections = size_t(dos.e_lfanew) + offsetof(IMAGE_NT_HEADERS64, OptionalHeader) +
                            nt.FileHeader.SizeOfOptionalHeader;
    const auto fileOffset = [&](DWORD address) -> size_t {
        for (WORD i = 0; i < nt.FileHeader.NumberOfSections; ++i) {
            IMAGE_SECTION_HEADER section;
            if (!at(sections + i * sizeof section, sizeof section))
                break;
            std::memcpy(&section, bytes.data() + sections + i * sizeof section, sizeof section);
            if (address >= section.VirtualAddress && address < section.VirtualAddress + section.SizeOfRawData)
                return address - section.VirtualAddress + section.PointerToRawData;
        }
        return bytes.size();
    };
    std::vector<std::string> names;
    const DWORD imports = nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    for (size_t entry = fileOffset(imports); imports && at(entry, sizeof(IMAGE_IMPORT_DESCRIPTOR));
         entry += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        IMAGE_IMPORT_DESCRIPTOR descriptor;
        std::memcpy(&descriptor, bytes.data() + entry, sizeof descriptor);
        if (!descriptor.Name)
            break;
        const size_t name = fileOffset(descriptor.Name);
        if (name < bytes.size())
            names.emplace_back(bytes.data() + name, strnlen(bytes.data() + name, bytes.size() - name));
    }
    return names;
}

// Where the system's search finds `name`; empty when it finds no file.
std::string Found(const std::string& name)
{
    wchar_t path[MAX_PATH * 4];
    const DWORD length = SearchPathW(nullptr, Widen(name).c_str(), nullptr, MAX_PATH * 4, path, nullptr);
    return length > 0 && length < MAX_PATH * 4 ? Narrow(path) : std::string();
}

// "NAME, which could not be loaded (...)" for the first import of the file at `path`
// that cannot be loaded, or "NAME, which needs ..." when NAME is there but one of its
// own imports is not; empty when every import loads.
std::string FirstMissing(const std::string& path, int depth)
{
    for (const std::string& import : ImportedNames(path)) {
        if (GetModuleHandleW(Widen(import).c_str()))
            continue;
        const HMODULE module = LoadLibraryW(Widen(import).c_str());
        const DWORD error = GetLastError();
        if (module) {
            FreeLibrary(module);
            continue;
        }
        const std::string found = Found(import);
        const std::string deeper = depth < 8 && !found.empty() ? FirstMissing(found, depth + 1) : "";
        if (!deeper.empty())
            return import + ", which needs " + deeper;
        return import + ", which could not be loaded (error " + std::to_string(error) + ": " + SystemErrorText(error) +
               (found.empty() ? "; no such file on the DLL search path" : "") + ")";
    }
    return "";
}

} // namespace

std::string LoadFailure(const std::string& name, unsigned long error)
{
    const std::string path = Found(name);
    if (path.empty())
        return name + " could not be loaded (error " + std::to_string(error) + "): it is neither beside " +
               ProgramFolder() + " (the program's folder) nor on the DLL search path";
    const std::string missing = FirstMissing(path, 0);
    if (!missing.empty())
        return name + " (" + path + ") could not be loaded: it needs " + missing;
    return name + " (" + path + ") could not be loaded (error " + std::to_string(error) + ": " +
           SystemErrorText(error) + ")";
}
