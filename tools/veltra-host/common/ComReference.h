// Owns one reference to a COM object and releases it.
#pragma once

#include <utility>

template <class T> class ComReference {
public:
    ComReference() = default;
    explicit ComReference(T* object) : _object(object) {}
    ComReference(ComReference&& other) noexcept : _object(std::exchange(other._object, nullptr)) {}
    ComReference& operator=(ComReference&& other) noexcept
    {
        if (this != &other) {
            Reset();
            _object = std::exchange(other._object, nullptr);
        }
        return *this;
    }
    ~ComReference() { Reset(); }

    T* Get() const { return _object; }
    T* operator->() const { return _object; }
    explicit operator bool() const { return _object != nullptr; }
    // For out-parameters; releases what was held first.
    T** Receive()
    {
        Reset();
        return &_object;
    }
    void Reset()
    {
        if (_object)
            _object->Release();
        _object = nullptr;
    }

private:
    T* _object = nullptr;
};
