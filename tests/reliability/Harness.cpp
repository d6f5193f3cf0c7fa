#include "Harness.h"

#include "PngFile.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fstream>
#include <iostream>
#include <sstream>
#include <thread>

namespace reliability {
namespace {

// ---- worker side

HANDLE g_results = INVALID_HANDLE_VALUE;
char g_now[600] = "";
std::atomic<int64_t> g_lastProgress{0};
std::atomic<bool> g_stopWatchdog{false};
size_t g_passed = 0;

int64_t Milliseconds()
{
    return static_cast<int64_t>(GetTickCount64());
}

std::string Escaped(const std::string& text)
{
    std::string out;
    for (char c : text)
        out += c == '\n' ? std::string("\\n") : c == '\t' ? std::string(" ") : std::string(1, c);
    return out;
}

// Results are written straight to the file, so that nothing is lost when the worker dies.
void Write(const std::string& record)
{
    const std::string line = record + "\n";
    DWORD written = 0;
    WriteFile(g_results, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

// Ends the worker after a crash or hang. Nothing here allocates: the fault may have struck
// with the heap's lock held.
[[noreturn]] void Die(const char* what, UINT exitCode)
{
    char line[2048];
    std::snprintf(line, sizeof line, "X\t%s during: %s\n", what, g_now);
    DWORD written = 0;
    WriteFile(g_results, line, static_cast<DWORD>(std::strlen(line)), &written, nullptr);
    TerminateProcess(GetCurrentProcess(), exitCode);
    for (;;) { }
}

// Appends "module+0xoffset" of a code address, for addr2line.
void AppendWhere(char* text, size_t size, DWORD64 address)
{
    HMODULE module = nullptr;
    char path[MAX_PATH] = "?";
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCSTR>(address), &module);
    if (module)
        GetModuleFileNameA(module, path, MAX_PATH);
    const char* name = std::strrchr(path, '\\') ? std::strrchr(path, '\\') + 1 : path;
    const size_t used = std::strlen(text);
    std::snprintf(text + used, size - used, " %s+0x%llx", name,
        static_cast<unsigned long long>(address - reinterpret_cast<DWORD64>(module)));
}

LONG WINAPI OnCrash(EXCEPTION_POINTERS* pointers)
{
    const EXCEPTION_RECORD& record = *pointers->ExceptionRecord;
    char what[1200];
    std::snprintf(what, sizeof what, "crash: exception 0x%08lX", static_cast<unsigned long>(record.ExceptionCode));
    if (record.ExceptionCode == EXCEPTION_ACCESS_VIOLATION && record.NumberParameters >= 2)
        std::snprintf(what + std::strlen(what), sizeof what - std::strlen(what), " (%s of address 0x%llx)",
            record.ExceptionInformation[0] ? "write" : "read",
            static_cast<unsigned long long>(record.ExceptionInformation[1]));
    // The faulting frame and its callers, unwound from the fault's own context.
    std::strcat(what, " at");
    CONTEXT context = *pointers->ContextRecord;
    for (int frame = 0; frame < 10 && context.Rip; ++frame) {
        AppendWhere(what, sizeof what, context.Rip);
        DWORD64 imageBase = 0;
        PRUNTIME_FUNCTION function = RtlLookupFunctionEntry(context.Rip, &imageBase, nullptr);
        if (!function) {  // a leaf: the return address is on top of the stack
            context.Rip = *reinterpret_cast<DWORD64*>(context.Rsp);
            context.Rsp += 8;
            continue;
        }
        void* handlerData = nullptr;
        DWORD64 establisher = 0;
        RtlVirtualUnwind(
            UNW_FLAG_NHANDLER, imageBase, context.Rip, function, &context, &handlerData, &establisher, nullptr);
    }
    Die(what, 2);
}

void OnTerminate()
{
    char what[600] = "crash: std::terminate (an exception escaped where none may)";
    if (std::exception_ptr current = std::current_exception()) {
        try {
            std::rethrow_exception(current);
        } catch (const std::exception& error) {
            std::snprintf(what + std::strlen(what), sizeof what - std::strlen(what), ": %s", error.what());
        } catch (...) {
        }
    }
    Die(what, 2);
}

void OnAbort(int)
{
    Die("crash: abort()", 2);
}

void Watchdog()
{
    while (!g_stopWatchdog) {
        Sleep(200);
        if (Milliseconds() - g_lastProgress > HangSeconds * 1000) {
            char what[64];
            std::snprintf(what, sizeof what, "hang: no progress for %d s", HangSeconds);
            Die(what, 3);
        }
    }
}

int RunWorker(size_t from, const std::string& resultsPath, const Options& options,
    const std::function<std::vector<Unit>(const Options&)>& build)
{
    g_results = CreateFileA(resultsPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
        OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (g_results == INVALID_HANDLE_VALUE)
        return 4;
    SetUnhandledExceptionFilter(OnCrash);
    std::set_terminate(OnTerminate);
    std::signal(SIGABRT, OnAbort);
    Now("building the unit list");
    std::thread watchdog(Watchdog);

    std::vector<Unit> units = build(options);
    const auto only = options.find("only");
    if (only != options.end())
        units.erase(std::remove_if(units.begin(), units.end(),
                        [&](const Unit& unit) {
                            return (unit.group + " " + unit.name).find(only->second) == std::string::npos;
                        }),
            units.end());
    Write("T\t" + std::to_string(units.size()));
    for (size_t i = from; i < units.size(); ++i) {
        Write("B\t" + std::to_string(i) + "\t" + Escaped(units[i].group) + "\t" + Escaped(units[i].name));
        Now(units[i].name);
        g_passed = 0;
        try {
            units[i].run();
        } catch (...) {
            Check(false, "unit", "an exception escaped the unit itself");
        }
        Write("P\t" + std::to_string(g_passed));
        Write("E\t" + std::to_string(i));
    }
    g_stopWatchdog = true;
    watchdog.join();
    CloseHandle(g_results);
    return 0;
}

// ---- supervisor side

struct UnitResult {
    std::string group, name;
    size_t passed = 0;
    std::vector<std::string> failures, notes;
    std::string death;  // crash or hang
    bool ended = false;
};

struct Results {
    size_t total = 0;
    std::vector<UnitResult> units;
    size_t last = SIZE_MAX;  // the last unit begun
    std::string earlyDeath;  // a crash or hang before the first unit
};

std::vector<std::string> Fields(const std::string& line)
{
    std::vector<std::string> fields;
    std::istringstream stream(line);
    std::string field;
    while (std::getline(stream, field, '\t'))
        fields.push_back(field);
    return fields;
}

Results Parse(const std::string& path)
{
    Results results;
    std::ifstream file(path);
    std::string line;
    UnitResult* current = nullptr;
    while (std::getline(file, line)) {
        const std::vector<std::string> f = Fields(line);
        if (f.empty())
            continue;
        const std::string& kind = f[0];
        if (kind == "T" && f.size() > 1) {
            results.total = std::stoul(f[1]);
            results.units.resize(results.total);
        } else if (kind == "B" && f.size() > 3) {
            results.last = std::stoul(f[1]);
            if (results.last >= results.units.size())
                results.units.resize(results.last + 1);
            current = &results.units[results.last];
            *current = UnitResult();
            current->group = f[2];
            current->name = f[3];
        } else if (!current) {
            if (kind == "X" && f.size() > 1)
                results.earlyDeath = f[1];
        } else if (kind == "C" && f.size() > 2) {
            current->failures.push_back(f[2] + (f.size() > 3 && !f[3].empty() ? ": " + f[3] : std::string()));
        } else if (kind == "N" && f.size() > 1) {
            current->notes.push_back(f[1]);
        } else if (kind == "P" && f.size() > 1) {
            current->passed = std::stoul(f[1]);
        } else if (kind == "E") {
            current->ended = true;
        } else if (kind == "X" && f.size() > 1) {
            current->death = f[1];
        }
    }
    return results;
}

std::string Report(const std::string& title, const Results& results, double seconds, bool& failed)
{
    std::ostringstream out;
    out << title << "\n\n";
    struct GroupCount {
        size_t units = 0, checks = 0, failedChecks = 0, deaths = 0;
    };
    std::vector<std::pair<std::string, GroupCount>> groups;
    size_t units = 0, checks = 0, failedChecks = 0, deaths = 0;
    std::string group;
    for (const UnitResult& unit : results.units) {
        if (unit.name.empty())
            continue;
        if (groups.empty() || groups.back().first != unit.group) {
            groups.push_back({unit.group, GroupCount()});
            out << unit.group << "\n";
        }
        GroupCount& count = groups.back().second;
        const bool died = !unit.death.empty() || !unit.ended;
        const char* status = died   ? (unit.death.find("hang") == 0 ? "HANG " : "CRASH")
            : unit.failures.empty() ? "ok   "
                                    : "FAULT";
        out << "  [" << status << "] " << unit.name;
        for (size_t i = 0; i < unit.notes.size(); ++i)
            out << (i == 0 ? " -- " : "; ") << unit.notes[i];
        out << "\n";
        for (const std::string& failure : unit.failures)
            out << "        - " << failure << "\n";
        if (died)
            out << "        - " << (unit.death.empty() ? "the worker ended inside this unit" : unit.death) << "\n";
        count.units += 1;
        count.checks += unit.passed + unit.failures.size();
        count.failedChecks += unit.failures.size();
        count.deaths += died ? 1 : 0;
        units += 1;
        checks += unit.passed + unit.failures.size();
        failedChecks += unit.failures.size();
        deaths += died ? 1 : 0;
    }
    out << "\nSummary\n";
    for (const auto& entry : groups)
        out << "  " << entry.first << ": " << entry.second.units << " units, " << entry.second.checks << " checks, "
            << entry.second.failedChecks << " failed, " << entry.second.deaths << " crashed or hung\n";
    out << "  all: " << units << " of " << results.total << " units run, " << checks << " checks, " << failedChecks
        << " failed, " << deaths << " crashed or hung; " << static_cast<int>(seconds * 10) / 10.0 << " s\n";
    failed = failedChecks > 0 || deaths > 0 || units < results.total || results.total == 0;
    return out.str();
}

int RunSupervisor(int argc, char** argv, const std::string& title, const std::string& reportName)
{
    const auto start = std::chrono::steady_clock::now();
    const std::string resultsPath = BesideProgram(reportName.substr(0, reportName.rfind('.')) + "-worker.log");
    DeleteFileA(resultsPath.c_str());
    char program[MAX_PATH];
    GetModuleFileNameA(nullptr, program, MAX_PATH);
    std::string arguments;
    for (int i = 1; i < argc; ++i)
        arguments += std::string(" \"") + argv[i] + "\"";

    std::string workerTrouble;
    size_t from = 0;
    for (;;) {
        std::string command = std::string("\"") + program + "\"" + arguments
            + " --worker --from=" + std::to_string(from) + " \"--results=" + resultsPath + "\"";
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
            workerTrouble = "the worker could not be started";
            break;
        }
        if (WaitForSingleObject(process.hProcess, 5 * 60 * 1000) == WAIT_TIMEOUT)
            TerminateProcess(process.hProcess, 5);
        DWORD exitCode = 0;
        GetExitCodeProcess(process.hProcess, &exitCode);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);

        const Results results = Parse(resultsPath);
        if (results.last == SIZE_MAX || results.last < from) {
            workerTrouble = "the worker ended (exit code " + std::to_string(exitCode) + ") before unit "
                + std::to_string(from) + " " + results.earlyDeath;
            break;
        }
        if (results.units[results.last].ended && (exitCode == 0 || results.last + 1 >= results.total))
            break;
        from = results.last + 1;  // the worker died in unit `last`: go on after it
        if (from >= results.total)
            break;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    bool failed = false;
    std::string report = Report(title, Parse(resultsPath), seconds, failed);
    if (!workerTrouble.empty()) {
        report += "  WORKER: " + workerTrouble + "\n";
        failed = true;
    }
    std::cout << report << std::flush;
    std::ofstream(BesideProgram(reportName)) << report;
    return failed ? 1 : 0;
}

}  // namespace

void Check(bool ok, const std::string& label, const std::string& detail)
{
    if (ok)
        ++g_passed;
    else
        Write("C\t0\t" + Escaped(label) + "\t" + Escaped(detail));
}

void Note(const std::string& text)
{
    Write("N\t" + Escaped(text));
}

void Now(const std::string& label)
{
    const size_t length = std::min(label.size(), sizeof g_now - 1);
    for (size_t i = 0; i < length; ++i)
        g_now[i] = label[i] == '\t' || label[i] == '\n' ? ' ' : label[i];
    g_now[length] = '\0';
    g_lastProgress = Milliseconds();
}

int Main(int argc, char** argv, const std::string& title, const std::string& reportName,
    const std::function<std::vector<Unit>(const Options&)>& build)
{
    bool worker = false;
    size_t from = 0;
    std::string resultsPath;
    Options options;
    std::vector<char*> passOn = {argv[0]};
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const size_t equals = argument.find('=');
        const std::string name = argument.substr(0, equals);
        const std::string value = equals == std::string::npos ? std::string() : argument.substr(equals + 1);
        if (name == "--worker")
            worker = true;
        else if (name == "--from")
            from = std::stoul(value);
        else if (name == "--results")
            resultsPath = value;
        else {
            options[name.substr(0, 2) == "--" ? name.substr(2) : name] = value;
            passOn.push_back(argv[i]);
        }
    }
    g_lastProgress = Milliseconds();
    if (worker)
        return RunWorker(from, resultsPath, options, build);
    return RunSupervisor(static_cast<int>(passOn.size()), passOn.data(), title, reportName);
}

}  // namespace reliability
