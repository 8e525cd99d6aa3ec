#pragma once
// Direct-access files of fixed-length records (the meteorological data and
// the surface files). Records are numbered from 1; offsets are 64-bit.

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

namespace orv {

class DirectFile {
public:
    DirectFile() = default;
    ~DirectFile();
    DirectFile(const DirectFile&) = delete;
    DirectFile& operator=(const DirectFile&) = delete;
    DirectFile(DirectFile&& o) noexcept;
    DirectFile& operator=(DirectFile&& o) noexcept;

    // Opens read-only. Returns false when the file cannot be opened.
    bool open(const std::string& path, int64_t record_length);
    bool is_open() const { return f_ != nullptr; }
    void close();
    void set_record_length(int64_t n) { reclen_ = n; }
    int64_t record_length() const { return reclen_; }
    // Whole records in the file (a short last record does not count).
    int64_t record_count() const;

    // Reads the first out.size() bytes (at most one record) of record n.
    // Returns false when the record is not wholly in the file.
    bool read(int64_t n, std::span<char> out);

private:
    std::FILE* f_ = nullptr;
    int64_t reclen_ = 0;
    int64_t size_ = 0;
};

}  // namespace orv
