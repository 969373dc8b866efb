// An owned COM reference: released when the holder goes.
#pragma once

#include "windows_api.h"

#include <utility>

namespace TVXDK::Tallivox {

// An owned COM reference.
template <class I>
class ComPtr {
public:
    ComPtr() = default;
    explicit ComPtr(I* pointer, bool addReference) : pointer_(pointer)
    {
        if (pointer_ != nullptr && addReference)
            pointer_->AddRef();
    }
    ComPtr(const ComPtr& other) : ComPtr(other.pointer_, true) {}
    ComPtr& operator=(const ComPtr& other)
    {
        ComPtr copy(other);
        std::swap(pointer_, copy.pointer_);
        return *this;
    }
    ~ComPtr()
    {
        if (pointer_ != nullptr)
            pointer_->Release();
    }
    I* Get() const { return pointer_; }
    I* operator->() const { return pointer_; }
    explicit operator bool() const { return pointer_ != nullptr; }
    I** Receive()
    {
        *this = ComPtr();
        return &pointer_;
    }

private:
    I* pointer_ = nullptr;
};

} // namespace TVXDK::Tallivox
