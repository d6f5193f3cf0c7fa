#pragma once
// Where records go when no sink is set: the file named by VELTRA_LOG_FILE
// (appended), else standard error. Writes are serialized, one whole line each.
//
// The outermost Logger_Start opens the file named at that moment; the Logger_End
// that balances it closes it. A record written while no file is chosen opens it
// on demand.

#include <windows.h>

#include <atomic>
#include <string>

namespace sklog {

class LogOutput {
public:
    static LogOutput& Instance();

    void Start();
    void End();
    int OpenCount() const { return _openCount.load(std::memory_order_acquire); }

    void Write(const std::string& line);

private:
    LogOutput() = default;
    ~LogOutput();

    void ChooseDestination(); // _lock held
    void CloseFile();         // _lock held

    SRWLOCK _lock = SRWLOCK_INIT;
    std::atomic<int> _openCount{0}; // changed under _lock
    bool _chosen = false;           // destination decided: _file, or standard error when it is invalid
    HANDLE _file = INVALID_HANDLE_VALUE;
};

} // namespace sklog
