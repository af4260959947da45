#pragma once
#include <type_traits>
#include <utility>

namespace zyn::chart {

// The object that owns settings and pens, brushes and fonts: told of every change so that it
// can ask its chart for a repaint.
class TChangeSink {
public:
    virtual void SettingChanged() = 0;

protected:
    ~TChangeSink() = default;
};

// One setting of a chart object. It reads as its value; assigning a different value stores it
// and tells the owner, an equal value changes nothing. A copy tells no one (it is a value, not
// a setting of the original's owner) until it is assigned to a setting, which then tells its
// own owner.
template <class T>
class TSetting {
public:
    TSetting() = default;
    explicit TSetting(T value) : value_(std::move(value)) {}
    TSetting(TChangeSink* owner, T value) : value_(std::move(value)), owner_(owner) {}
    TSetting(const TSetting& other) : value_(other.value_) {}
    TSetting& operator=(const TSetting& other) { return *this = other.value_; }
    TSetting& operator=(const T& value) {
        if (value_ == value) return *this;
        value_ = value;
        if (owner_) owner_->SettingChanged();
        return *this;
    }

    operator const T&() const { return value_; }
    const T& Value() const { return value_; }
    const T* operator->() const { return &value_; }

    friend bool operator==(const TSetting& a, const TSetting& b) { return a.value_ == b.value_; }
    template <class U>
    friend bool operator==(const TSetting& a, const U& b)
        requires(!std::is_same_v<U, TSetting>) && requires(const T& t) { t == b; }
    {
        return a.value_ == b;
    }

private:
    T value_{};
    TChangeSink* owner_ = nullptr;
};

}  // namespace zyn::chart
