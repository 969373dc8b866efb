// One owner for one system resource (a descriptor, a handle, a socket): it closes what it
// holds when destroyed, moves and is never copied. `Traits` names the resource's type, its
// empty value, what counts as held, and how it is closed.
#pragma once

#include <utility>

namespace lcdm {

template <class Traits>
class UniqueResource {
public:
    using Value = typename Traits::Value;

    UniqueResource() noexcept = default;
    explicit UniqueResource(Value value) noexcept : value_(value) {}
    ~UniqueResource() { Reset(); }

    UniqueResource(UniqueResource&& other) noexcept : value_(other.Release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept
    {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;

    Value Get() const noexcept { return value_; }
    bool IsValid() const noexcept { return Traits::IsHeld(value_); }

    // Gives the resource up without closing it.
    [[nodiscard]] Value Release() noexcept { return std::exchange(value_, Traits::Empty()); }

    // Closes the held resource (if any) and holds `value` instead.
    void Reset(Value value = Traits::Empty()) noexcept
    {
        if (IsValid())
            Traits::Close(value_);
        value_ = value;
    }

private:
    Value value_ = Traits::Empty();
};

} // namespace lcdm
