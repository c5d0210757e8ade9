#pragma once
// A replaceable process-wide object, such as a presenter: the one installed, else the default
// one, which a library may name at start, else the fallback it was made with.

namespace vu {

template <typename T> class TvuSeam {
public:
    explicit constexpr TvuSeam(T* fallback) : fallback_(fallback), default_(fallback) {}

    // Installs `object` (not owned; nullptr: the default one) and returns the one installed
    // before (nullptr for the default one).
    T* Set(T* object) {
        T* previous = installed_;
        installed_ = object;
        return previous;
    }
    // Names the default one (not owned); nullptr: the fallback.
    void SetDefault(T* object) { default_ = object != nullptr ? object : fallback_; }
    T& Current() const { return installed_ != nullptr ? *installed_ : *default_; }

private:
    T* fallback_;
    T* default_;
    T* installed_ = nullptr;
};

} // namespace vu
