#pragma once
// The enabled log levels (0..63) of each module. A table never changes after it
// is built, so any number of threads may read it without a lock.

#include <cstdint>
#include <vector>

namespace sklog {

class LevelTable {
public:
    static constexpr unsigned int LevelCount = 64;

    // Builds a table from text such as "293:0-5,24;12:*": module parts separated
    // by ';', each "module:levels" with levels a ','-list of numbers, ranges
    // "a-b" and '*' for all. Malformed parts and items are skipped. Null or ""
    // enables nothing.
    static LevelTable Parse(const wchar_t* text);

    bool IsActive(unsigned int module, unsigned int level) const;

private:
    struct Entry {
        unsigned int module;
        uint64_t levels; // bit n set: level n enabled
    };
    std::vector<Entry> _entries; // sorted by module, one entry per module
};

} // namespace sklog
