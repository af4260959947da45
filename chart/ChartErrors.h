#pragma once
#include <stdexcept>
#include <string>

namespace zyn::chart {

// The engine's own checks raise these with fixed English messages.
class ChartException : public std::runtime_error {
public:
    explicit ChartException(const std::string& message) : std::runtime_error(message) {}
};
class AxisException : public ChartException {
public:
    using ChartException::ChartException;
};
class BarException : public ChartException {
public:
    using ChartException::ChartException;
};

// The run-time list error for an index outside 0 .. Count - 1.
class TListIndexError : public std::out_of_range {
public:
    explicit TListIndexError(int index)
        : std::out_of_range("Listenindex überschreitet das Maximum (" + std::to_string(index) + ")") {}
};

template <class T>
inline bool AssignIfChanged(T& field, const T& value) {
    if (field == value) return false;
    field = value;
    return true;
}

}  // namespace zyn::chart
