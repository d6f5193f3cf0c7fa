#pragma once
// A COM reference that lives for one scope: released exactly once when the scope
// ends, on every path. For the temporary surfaces and textures of a transfer.

template <typename Interface>
class ComReference {
public:
    ComReference() = default;
    explicit ComReference(Interface* object) : _object(object) {}
    ~ComReference()
    {
        if (_object)
            _object->Release();
    }

    ComReference(const ComReference&) = delete;
    ComReference& operator=(const ComReference&) = delete;

    Interface* Get() const { return _object; }
    Interface* operator->() const { return _object; }
    explicit operator bool() const { return _object != nullptr; }
    // For an out-parameter; the reference must be empty.
    Interface** Receive() { return &_object; }

private:
    Interface* _object = nullptr;
};
