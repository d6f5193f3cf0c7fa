#include "LevelTable.h"

#include <algorithm>
#include <map>
#include <string_view>

namespace sklog {
namespace {

std::wstring_view Trim(std::wstring_view text)
{
    const auto isSpace = [](wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; };
    while (!text.empty() && isSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

// Calls action(piece) for each trimmed piece of text between separators.
template <typename Action>
void ForEachPiece(std::wstring_view text, wchar_t separator, Action action)
{
    for (;;) {
        const size_t end = text.find(separator);
        action(Trim(text.substr(0, end)));
        if (end == std::wstring_view::npos)
            return;
        text.remove_prefix(end + 1);
    }
}

// A decimal number no greater than limit; anything else (sign, other
// characters, overflow) is rejected.
bool ParseNumber(std::wstring_view text, uint64_t limit, uint64_t& number)
{
    if (text.empty())
        return false;
    number = 0;
    for (const wchar_t c : text) {
        if (c < L'0' || c > L'9')
            return false;
        number = number * 10 + static_cast<uint64_t>(c - L'0');
        if (number > limit)
            return false;
    }
    return true;
}

// The levels one item names: "*", "n" or "a-b"; 0 when malformed.
uint64_t ParseLevelItem(std::wstring_view item)
{
    const uint64_t lastLevel = LevelTable::LevelCount - 1;
    if (item == L"*")
        return ~uint64_t(0);
    uint64_t first = 0;
    uint64_t last = 0;
    const size_t dash = item.find(L'-');
    if (dash == std::wstring_view::npos) {
        if (!ParseNumber(item, lastLevel, first))
            return 0;
        last = first;
    } else if (!ParseNumber(Trim(item.substr(0, dash)), lastLevel, first)
               || !ParseNumber(Trim(item.substr(dash + 1)), lastLevel, last) || first > last) {
        return 0;
    }
    const uint64_t upToLast = last == lastLevel ? ~uint64_t(0) : (uint64_t(1) << (last + 1)) - 1;
    const uint64_t belowFirst = (uint64_t(1) << first) - 1;
    return upToLast & ~belowFirst;
}

} // namespace

LevelTable LevelTable::Parse(const wchar_t* text)
{
    LevelTable table;
    if (!text)
        return table;

    std::map<unsigned int, uint64_t> levelsByModule;
    ForEachPiece(text, L';', [&](std::wstring_view part) {
        const size_t colon = part.find(L':');
        uint64_t module = 0;
        if (colon == std::wstring_view::npos || !ParseNumber(Trim(part.substr(0, colon)), 0xFFFFFFFFu, module))
            return;
        uint64_t levels = 0;
        ForEachPiece(part.substr(colon + 1), L',', [&](std::wstring_view item) { levels |= ParseLevelItem(item); });
        if (levels != 0)
            levelsByModule[static_cast<unsigned int>(module)] |= levels;
    });

    for (const auto& [module, levels] : levelsByModule)
        table._entries.push_back(Entry{module, levels});
    return table;
}

bool LevelTable::IsActive(unsigned int module, unsigned int level) const
{
    if (level >= LevelCount)
        return false;
    const auto found = std::lower_bound(_entries.begin(), _entries.end(), module,
                                        [](const Entry& entry, unsigned int wanted) { return entry.module < wanted; });
    return found != _entries.end() && found->module == module && ((found->levels >> level) & 1) != 0;
}

} // namespace sklog
