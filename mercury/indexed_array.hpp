#pragma once
// Tables of up to three indices, each running over its own range (a lower
// bound of 0 or 1 as the mercury steps number species, paths, size ranges and
// land-use categories), first index varying fastest. Sized once; a failed
// allocation is reported to the caller, who names the table in its message.

#include <cstdint>
#include <cstring>

#include "common/work_array.hpp"

namespace orv {

// An index range lo..hi; hi below lo is empty.
struct IndexRange {
    int32_t lo = 1;
    int32_t hi = 0;
    int64_t count() const { return hi >= lo ? static_cast<int64_t>(hi) - lo + 1 : 0; }
};

template <typename T>
class IndexedArray {
public:
    // Sizes the table and fills it with zeros. Returns false when the memory
    // cannot be had (the table is then empty).
    bool allocate(IndexRange a, IndexRange b = {1, 1}, IndexRange c = {1, 1}) {
        r1_ = a;
        r2_ = b;
        r3_ = c;
        n1_ = a.count();
        n12_ = n1_ * b.count();
        if (!data_.allocate(n12_ * c.count())) {
            n1_ = n12_ = 0;
            return false;
        }
        zero();
        return true;
    }
    void zero() {
        if (data_.size() > 0) std::memset(static_cast<void*>(data_.data()), 0, sizeof(T) * static_cast<size_t>(data_.size()));
    }
    void fill(T v) { data_.fill(v); }

    T& operator()(int32_t i) { return data_[offset(i, r2_.lo, r3_.lo)]; }
    T& operator()(int32_t i, int32_t j) { return data_[offset(i, j, r3_.lo)]; }
    T& operator()(int32_t i, int32_t j, int32_t k) { return data_[offset(i, j, k)]; }
    const T& operator()(int32_t i) const { return data_[offset(i, r2_.lo, r3_.lo)]; }
    const T& operator()(int32_t i, int32_t j) const { return data_[offset(i, j, r3_.lo)]; }
    const T& operator()(int32_t i, int32_t j, int32_t k) const { return data_[offset(i, j, k)]; }

    IndexRange range(int dim) const { return dim == 1 ? r1_ : dim == 2 ? r2_ : r3_; }
    // Elements between neighbours along index dim (1 for the first).
    int64_t stride(int dim) const { return dim == 1 ? 1 : dim == 2 ? n1_ : n12_; }
    int64_t size() const { return data_.size(); }
    T* data() { return data_.data(); }
    const T* data() const { return data_.data(); }

private:
    int64_t offset(int32_t i, int32_t j, int32_t k) const {
        return (static_cast<int64_t>(i) - r1_.lo) + (static_cast<int64_t>(j) - r2_.lo) * n1_ +
               (static_cast<int64_t>(k) - r3_.lo) * n12_;
    }
    WorkArray<T> data_;
    IndexRange r1_, r2_, r3_;
    int64_t n1_ = 0;
    int64_t n12_ = 0;
};

}  // namespace orv
