#include "common/direct_file.hpp"

#include <utility>

namespace orv {

DirectFile::~DirectFile() { close(); }

DirectFile::DirectFile(DirectFile&& o) noexcept
    : f_(std::exchange(o.f_, nullptr)), reclen_(o.reclen_), size_(o.size_) {}

DirectFile& DirectFile::operator=(DirectFile&& o) noexcept {
    if (this != &o) {
        close();
        f_ = std::exchange(o.f_, nullptr);
        reclen_ = o.reclen_;
        size_ = o.size_;
    }
    return *this;
}

bool DirectFile::open(const std::string& path, int64_t record_length) {
    close();
    f_ = std::fopen(path.c_str(), "rb");
    if (!f_) return false;
    reclen_ = record_length;
    if (fseeko(f_, 0, SEEK_END) != 0) {
        close();
        return false;
    }
    size_ = static_cast<int64_t>(ftello(f_));
    return true;
}

void DirectFile::close() {
    if (f_) std::fclose(f_);
    f_ = nullptr;
}

int64_t DirectFile::record_count() const { return reclen_ > 0 ? size_ / reclen_ : 0; }

bool DirectFile::read(int64_t n, std::span<char> out) {
    if (!f_ || n < 1 || reclen_ <= 0 || static_cast<int64_t>(out.size()) > reclen_) return false;
    int64_t off = (n - 1) * reclen_;
    if (off + reclen_ > size_) return false;
    if (fseeko(f_, static_cast<off_t>(off), SEEK_SET) != 0) return false;
    return std::fread(out.data(), 1, out.size(), f_) == out.size();
}

}  // namespace orv
