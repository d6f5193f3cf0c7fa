#pragma once
// The tagged value of a shader uniform. Shared with the host byte for byte:
// {uint32 tag; 64-byte payload at offset 8; uint64 size at offset 72}, 80 bytes.
// Values of tag svBlock (a byte block) and svString (a wide string) own heap memory
// that copies duplicate and destruction frees.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <cwchar>

namespace VeltraRender {

enum ShaderValueTag : uint32_t {
    svFloat = 0,     // 32-bit float
    svInline1 = 1,   // inline values the back-end reads as raw floats (float2..float4 uniforms)
    svInline2 = 2,
    svInline3 = 3,
    svMatrix4 = 4,   // 16 floats
    svDouble = 5,
    svInt16 = 6,
    svInt32 = 7,
    svInt64 = 8,
    svBlock = 9,     // pointer to `size` bytes, owned
    svString = 10,   // pointer to `size` wide characters (NUL included), owned
    svEmpty = 11,    // nothing: a fresh map entry
};

struct ShaderValue {
    uint32_t tag = svEmpty;
    alignas(8) unsigned char payload[64] = {};
    uint64_t size = 0;

    ShaderValue() = default;
    ShaderValue(const ShaderValue& other) { CopyFrom(other); }
    ShaderValue& operator=(const ShaderValue& other)
    {
        if (this != &other) {
            FreeOwned();
            CopyFrom(other);
        }
        return *this;
    }
    ~ShaderValue() { FreeOwned(); }

    // The heap pointer of svBlock and svString values (null for others).
    void* Owned() const
    {
        if (tag != svBlock && tag != svString)
            return nullptr;
        void* pointer = nullptr;
        std::memcpy(&pointer, payload, sizeof pointer);
        return pointer;
    }

    template <typename T>
    static ShaderValue Inline(uint32_t tag, const T& value)
    {
        static_assert(sizeof(T) <= sizeof(payload), "inline values fit the payload");
        ShaderValue result;
        result.tag = tag;
        std::memcpy(result.payload, &value, sizeof value);
        return result;
    }
    static ShaderValue Float(float value) { return Inline(svFloat, value); }
    static ShaderValue Double(double value) { return Inline(svDouble, value); }
    static ShaderValue Int16(int16_t value) { return Inline(svInt16, value); }
    static ShaderValue Int32(int32_t value) { return Inline(svInt32, value); }
    static ShaderValue Int64(int64_t value) { return Inline(svInt64, value); }
    static ShaderValue Matrix(const float (&values)[16]) { return Inline(svMatrix4, values); }
    // Up to 16 floats inline, for float2..float4 uniforms.
    static ShaderValue Floats(const float* values, size_t count)
    {
        ShaderValue result;
        result.tag = svInline3;
        std::memcpy(result.payload, values, (count < 16 ? count : 16) * sizeof(float));
        return result;
    }
    static ShaderValue Block(const void* bytes, size_t byteCount)
    {
        ShaderValue result;
        result.tag = svBlock;
        result.size = byteCount;
        result.SetOwned(byteCount ? new unsigned char[byteCount] : nullptr);
        if (byteCount)
            std::memcpy(result.Owned(), bytes, byteCount);
        return result;
    }
    static ShaderValue String(const wchar_t* text)
    {
        ShaderValue result;
        result.tag = svString;
        result.size = std::wcslen(text) + 1;
        wchar_t* copy = new wchar_t[result.size];
        std::memcpy(copy, text, result.size * sizeof(wchar_t));
        result.SetOwned(copy);
        return result;
    }

private:
    void SetOwned(void* pointer) { std::memcpy(payload, &pointer, sizeof pointer); }

    void CopyFrom(const ShaderValue& other)
    {
        tag = other.tag;
        size = other.size;
        std::memcpy(payload, other.payload, sizeof payload);
        // Only a value that has a block or string gets a copy of it: a size without one
        // describes nothing to copy (and may be anything).
        if (tag == svBlock) {
            unsigned char* copy = size && other.Owned() ? new unsigned char[size] : nullptr;
            if (copy)
                std::memcpy(copy, other.Owned(), size);
            SetOwned(copy);
        } else if (tag == svString) {
            const wchar_t* source = static_cast<const wchar_t*>(other.Owned());
            wchar_t* copy = size && source ? new wchar_t[size] : nullptr;
            if (copy) {
                std::wcsncpy(copy, source, size);
                copy[size - 1] = L'\0';
            }
            SetOwned(copy);
        }
    }

    void FreeOwned()
    {
        if (tag == svBlock)
            delete[] static_cast<unsigned char*>(Owned());
        else if (tag == svString)
            delete[] static_cast<wchar_t*>(Owned());
        SetOwned(nullptr);
    }
};

static_assert(sizeof(ShaderValue) == 80, "ShaderValue is 80 bytes");
static_assert(offsetof(ShaderValue, payload) == 8, "ShaderValue layout");
static_assert(offsetof(ShaderValue, size) == 72, "ShaderValue layout");

} // namespace VeltraRender
