// The first reading of a scene file, before it becomes a JSON document: where the text
// stops being JSON (line and column), and the limits that keep any file, however
// hostile, from costing more than a scene needs: nesting depth, string length, and
// keys given twice (which JSON readers otherwise settle silently, each its own way).
#pragma once

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

// Text from a scene, as a message shows it: control characters escaped, and cut to
// `longest` bytes (at a character's start) with "..." after it.
inline std::string ShownText(const std::string& text, size_t longest = 60)
{
    size_t end = text.size() <= longest ? text.size() : longest;
    while (end < text.size() && end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    std::string result;
    for (size_t i = 0; i < end; ++i) {
        const unsigned char byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x20 || byte == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            result += escaped;
        } else {
            result += text[i];
        }
    }
    return end < text.size() ? result + "..." : result;
}

// "line 3, column 7": where the character before `end` is in `text`, counting
// characters, not the continuation bytes of UTF-8.
inline std::string LineAndColumn(const std::string& text, size_t end)
{
    size_t line = 1, column = 1;
    for (size_t i = 0; i < end && i < text.size(); ++i) {
        if (text[i] == '\n') {
            ++line;
            column = 1;
        } else if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            ++column;
        }
    }
    return "line " + std::to_string(line) + ", column " + std::to_string(column > 1 ? column - 1 : 1);
}

// Where a /* comment that is never closed opens (outside strings); npos when none is.
inline size_t UnclosedComment(const std::string& text)
{
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '"') {
            for (++i; i < text.size() && text[i] != '"'; ++i)
                i += text[i] == '\\';
        } else if (text.compare(i, 2, "//") == 0) {
            i = std::min(text.find('\n', i), text.size());
        } else if (text.compare(i, 2, "/*") == 0) {
            const size_t close = text.find("*/", i + 2);
            if (close == std::string::npos)
                return i;
            i = close + 1;
        }
    }
    return std::string::npos;
}

class SceneJsonCheck : public nlohmann::json_sax<nlohmann::json> {
public:
    static const size_t DeepestNesting = 32;
    static const size_t LongestString = 65536;

    // "line 3, column 7" for text that is not JSON, else the path of the value, e.g.
    // "layers[2].name"; and what is wrong there. Both empty when the text passed.
    std::string Place(const std::string& text) const
    {
        if (!_syntax)
            return _path;
        // The reader stops after the character it could not take.
        return LineAndColumn(text, _position);
    }
    bool SyntaxError() const { return _syntax; }
    size_t Position() const { return _position; }
    const std::string& Message() const { return _message; }

    bool null() override { return Value(); }
    bool boolean(bool) override { return Value(); }
    bool number_integer(number_integer_t) override { return Value(); }
    bool number_unsigned(number_unsigned_t) override { return Value(); }
    bool number_float(number_float_t, const string_t&) override { return Value(); }
    bool binary(binary_t&) override { return Value(); }
    bool string(string_t& value) override
    {
        return Value() && (value.size() <= LongestString ||
                           Fail("a text of " + std::to_string(value.size()) + " bytes; at most " +
                                std::to_string(LongestString)));
    }
    bool start_object(std::size_t) override { return Open(true); }
    bool start_array(std::size_t) override { return Open(false); }
    bool end_object() override { return Close(); }
    bool end_array() override { return Close(); }
    bool key(string_t& name) override
    {
        Level& level = _levels.back();
        level.key = name;
        if (name.size() > LongestString)
            return Fail("a key of " + std::to_string(name.size()) + " bytes; at most " + std::to_string(LongestString));
        return level.keys.insert(name).second || Fail("given twice");
    }
    bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception& error) override
    {
        _syntax = true;
        _position = position;
        _message = "not valid JSON: " + Readable(WithoutPrefix(error.what()));
        return false;
    }

private:
    struct Level {
        bool object = false;
        long index = -1;  // arrays: the element being read
        std::string key;  // objects: the member being read
        std::set<std::string> keys;
    };

    bool Value()
    {
        if (!_levels.empty() && !_levels.back().object)
            ++_levels.back().index;
        return true;
    }
    bool Open(bool object)
    {
        Value();
        if (_levels.size() >= DeepestNesting)
            return Fail("nested deeper than " + std::to_string(DeepestNesting) + " levels");
        _levels.push_back(Level{object, -1, {}, {}});
        return true;
    }
    bool Close()
    {
        _levels.pop_back();
        return true;
    }
    bool Fail(const std::string& message)
    {
        _path = Path();
        _message = message;
        return false;
    }
    std::string Path() const
    {
        std::string path;
        for (const Level& level : _levels) {
            if (!level.object)
                path += "[" + std::to_string(level.index < 0 ? 0 : level.index) + "]";
            else if (!level.key.empty() || !path.empty())
                path += (path.empty() ? "" : ".") + ShownText(level.key, 40);
        }
        return path.empty() ? "the top level" : path;
    }

    // nlohmann's messages open with their own identifiers and repeat the position.
    static std::string WithoutPrefix(std::string text)
    {
        if (!text.empty() && text[0] == '[')
            text.erase(0, text.find("] ") == std::string::npos ? 0 : text.find("] ") + 2);
        const size_t at = text.find(", column ");
        if (text.compare(0, 15, "parse error at ") == 0 && at != std::string::npos)
            text.erase(0, text.find(": ", at) == std::string::npos ? 0 : text.find(": ", at) + 2);
        return text;
    }
    // Control characters and bytes that are not ASCII as \xNN: the message stays one line of text.
    static std::string Readable(const std::string& text)
    {
        std::string result;
        for (const char c : text) {
            const unsigned char byte = static_cast<unsigned char>(c);
            if (byte >= 0x20 && byte < 0x7F) {
                result += c;
            } else {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
                result += escaped;
            }
        }
        return result;
    }

    std::vector<Level> _levels;
    bool _syntax = false;
    size_t _position = 0;
    std::string _path;
    std::string _message;
};
