#pragma once
// Sequential binary record files: every record is framed by a 4-byte length
// word before and after its data, and every number, the length words
// included, is big-endian.

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orv {

class TextOut;

// Builds one record's data.
class RecordBuilder {
public:
    void clear() { bytes_.clear(); }
    void put_i32(int32_t v);
    void put_i16(int16_t v);
    void put_f32(float v);
    void put_i32s(std::initializer_list<int32_t> values) {
        for (int32_t v : values) put_i32(v);
    }
    void put_f32s(std::initializer_list<float> values) {
        for (float v : values) put_f32(v);
    }
    // Exactly `width` bytes: the text cut or blank-padded.
    void put_chars(std::string_view s, size_t width);
    const std::vector<uint8_t>& bytes() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
};

// Reads the fields of one record's data in order. Reading past its end
// throws InputError.
class RecordCursor {
public:
    explicit RecordCursor(std::span<const uint8_t> data) : data_(data) {}
    int32_t get_i32();
    float get_f32();
    std::string get_chars(size_t width);
    size_t remaining() const { return data_.size() - pos_; }

private:
    std::span<const uint8_t> data_;
    size_t pos_ = 0;
};

// Every write and the close are checked: a failure (a full disk, a file
// system error) is written to the console the file was opened with and stops
// the run through output_stop, naming the file.
class RecordWriter {
public:
    RecordWriter() = default;
    // Closes a file still open; a failure found here is reported, never thrown.
    ~RecordWriter();
    RecordWriter(const RecordWriter&) = delete;
    RecordWriter& operator=(const RecordWriter&) = delete;
    // Creates or empties the file. A failed write is reported to `console`,
    // naming `routine` and the file; the console must outlive this file (the
    // run's console outlives every file of the run). Returns false when the
    // file cannot be opened.
    bool open(const std::string& path, std::string_view routine, TextOut& console);
    bool is_open() const { return f_ != nullptr; }
    void write(std::span<const uint8_t> data);
    void write(const RecordBuilder& r) { write(r.bytes()); }
    // Flushes and closes the file; a failure stops the run.
    void close();

private:
    void fail();

    std::FILE* f_ = nullptr;
    std::string path_;
    std::string routine_;
    TextOut* console_ = nullptr;  // where a failed write is reported; set by open
    bool failed_ = false;         // the failure has been reported
};

class RecordReader {
public:
    RecordReader() = default;
    ~RecordReader();
    RecordReader(const RecordReader&) = delete;
    RecordReader& operator=(const RecordReader&) = delete;
    bool open(const std::string& path);
    bool is_open() const { return f_ != nullptr; }
    void close();
    // Reads the next record. Returns false at the end of the file; throws
    // InputError on a damaged frame (length words that disagree, a short record).
    bool read(std::vector<uint8_t>& data);
    // Goes back to the start of the record last read (one step only).
    void step_back();

private:
    std::FILE* f_ = nullptr;
    int64_t last_start_ = -1;
    int64_t size_ = 0;  // bytes in the file: no length word may claim more
};

// Big-endian helpers.
inline void store_be32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
}
inline uint32_t load_be32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}

}  // namespace orv
