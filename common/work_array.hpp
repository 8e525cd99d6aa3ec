#pragma once
// Work arrays sized once at set-up. Allocation value-initialises every
// element (all bits zero), so nothing is ever read undefined and reruns stay
// byte-identical; the zeroed memory comes fresh from the system for a large
// array, which therefore still costs nothing until it is used. A failed
// allocation ends the run with the allocation message of its group.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <new>
#include <span>
#include <stdexcept>
#include <string_view>
#include <type_traits>

namespace orv {

class TextOut;

template <typename T>
class WorkArray {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    // Allocates n elements (n below 0 gives an empty array). Returns false
    // when the memory cannot be had; the array is then empty.
    bool allocate(int64_t n) {
        data_.reset();
        size_ = 0;
        if (n <= 0) return true;
        if (static_cast<uint64_t>(n) > SIZE_MAX / sizeof(T)) return false;
        // calloc: zeroed, and a trivially copyable T of all bits zero is its
        // value-initialised state for the integer and real types held here.
        T* p = static_cast<T*>(std::calloc(static_cast<size_t>(n), sizeof(T)));
        if (!p) return false;
        data_.reset(p);
        size_ = n;
        return true;
    }
    void release() {
        data_.reset();
        size_ = 0;
    }
    void fill(T v) {
        for (int64_t i = 0; i < size_; ++i) data_[static_cast<size_t>(i)] = v;
    }
    int64_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    T* data() { return data_.get(); }
    const T* data() const { return data_.get(); }
    T& operator[](int64_t i) { return data_[static_cast<size_t>(i)]; }
    const T& operator[](int64_t i) const { return data_[static_cast<size_t>(i)]; }
    std::span<T> span() { return {data_.get(), static_cast<size_t>(size_)}; }
    std::span<const T> span() const { return {data_.get(), static_cast<size_t>(size_)}; }

private:
    struct Free {
        void operator()(T* p) const { std::free(p); }
    };
    std::unique_ptr<T[], Free> data_;
    int64_t size_ = 0;
};

// Writes the allocation message, "<prefix><label in 80 columns> <status>",
// to the console and stops the run with code 900.
[[noreturn]] void allocation_stop(std::string_view prefix, std::string_view label, TextOut& console);

inline constexpr std::string_view kAllocPrefix = "ERROR orvcalc: memory allocation - ";
inline constexpr std::string_view kAllocPrefixHg = "ERROR orvcalc_hg: memory allocation - ";

// Allocates one array of a group; the first failure of a group stops the run
// with the group's label, so the later arrays of the group stay unallocated.
template <typename T>
void allocate_or_stop(std::string_view prefix, std::string_view label, WorkArray<T>& a, int64_t n, TextOut& console) {
    if (!a.allocate(n)) allocation_stop(prefix, label, console);
}

// Runs `grow`, which sizes or extends a standard container; when the memory
// cannot be had, the run stops with the allocation message of the label.
template <typename Grow>
void grow_or_stop(std::string_view prefix, std::string_view label, TextOut& console, Grow grow) {
    try {
        grow();
    } catch (const std::bad_alloc&) {
        allocation_stop(prefix, label, console);
    } catch (const std::length_error&) {
        allocation_stop(prefix, label, console);
    }
}

}  // namespace orv
