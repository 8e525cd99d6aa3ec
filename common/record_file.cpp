#include "common/record_file.hpp"

#include <bit>
#include <cstring>

#include "common/run_stop.hpp"

namespace orv {

void RecordBuilder::put_i32(int32_t v) {
    uint8_t b[4];
    store_be32(b, static_cast<uint32_t>(v));
    bytes_.insert(bytes_.end(), b, b + 4);
}

void RecordBuilder::put_i16(int16_t v) {
    const auto u = static_cast<uint16_t>(v);
    bytes_.push_back(static_cast<uint8_t>(u >> 8));
    bytes_.push_back(static_cast<uint8_t>(u));
}

void RecordBuilder::put_f32(float v) {
    uint8_t b[4];
    store_be32(b, std::bit_cast<uint32_t>(v));
    bytes_.insert(bytes_.end(), b, b + 4);
}

void RecordBuilder::put_chars(std::string_view s, size_t width) {
    for (size_t i = 0; i < width; ++i) bytes_.push_back(i < s.size() ? static_cast<uint8_t>(s[i]) : uint8_t{' '});
}

int32_t RecordCursor::get_i32() {
    if (remaining() < 4) throw InputError("record shorter than its fields");
    int32_t v = static_cast<int32_t>(load_be32(data_.data() + pos_));
    pos_ += 4;
    return v;
}

float RecordCursor::get_f32() {
    if (remaining() < 4) throw InputError("record shorter than its fields");
    float v = std::bit_cast<float>(load_be32(data_.data() + pos_));
    pos_ += 4;
    return v;
}

std::string RecordCursor::get_chars(size_t width) {
    if (remaining() < width) throw InputError("record shorter than its fields");
    std::string s(reinterpret_cast<const char*>(data_.data() + pos_), width);
    pos_ += width;
    return s;
}

RecordWriter::~RecordWriter() {
    if (!f_) return;
    const bool ok = std::fclose(f_) == 0;
    f_ = nullptr;
    if (!ok && !failed_) report_output_failure(routine_, path_, *console_);
}

bool RecordWriter::open(const std::string& path, std::string_view routine, TextOut& console) {
    if (f_) std::fclose(f_);
    f_ = std::fopen(path.c_str(), "wb");
    path_ = path;
    routine_ = std::string(routine);
    console_ = &console;
    failed_ = false;
    return f_ != nullptr;
}

void RecordWriter::fail() {
    if (failed_) return;
    failed_ = true;
    output_stop(routine_, path_, *console_);
}

void RecordWriter::write(std::span<const uint8_t> data) {
    if (!f_) return;
    if (data.size() > 0x7fffffffu) return fail();
    uint8_t len[4];
    store_be32(len, static_cast<uint32_t>(data.size()));
    // An empty record is its two length words alone (an empty span may hold no pointer).
    if (std::fwrite(len, 1, 4, f_) != 4 ||
        (!data.empty() && std::fwrite(data.data(), 1, data.size(), f_) != data.size()) ||
        std::fwrite(len, 1, 4, f_) != 4)
        fail();
}

void RecordWriter::close() {
    if (!f_) return;
    const bool ok = std::fclose(f_) == 0;
    f_ = nullptr;
    if (!ok) fail();
}

RecordReader::~RecordReader() { close(); }

bool RecordReader::open(const std::string& path) {
    close();
    f_ = std::fopen(path.c_str(), "rb");
    last_start_ = -1;
    size_ = 0;
    if (f_ && std::fseek(f_, 0, SEEK_END) == 0) {
        size_ = std::ftell(f_);
        std::fseek(f_, 0, SEEK_SET);
    }
    return f_ != nullptr;
}

void RecordReader::close() {
    if (f_) std::fclose(f_);
    f_ = nullptr;
}

bool RecordReader::read(std::vector<uint8_t>& data) {
    if (!f_) return false;
    int64_t start = std::ftell(f_);
    uint8_t len[4];
    size_t got = std::fread(len, 1, 4, f_);
    if (got == 0) return false;
    if (got < 4) throw InputError("truncated record length");
    uint32_t n = load_be32(len);
    if (n > 0x7fffffffu) throw InputError("bad record length");
    // A length word cannot make the reader allocate more than the file holds.
    if (int64_t{n} > size_ - start - 8) throw InputError("truncated record");
    data.resize(n);
    if (std::fread(data.data(), 1, n, f_) != n) throw InputError("truncated record");
    uint8_t tail[4];
    if (std::fread(tail, 1, 4, f_) != 4 || load_be32(tail) != n) throw InputError("record length words disagree");
    last_start_ = start;
    return true;
}

void RecordReader::step_back() {
    if (f_ && last_start_ >= 0) {
        std::fseek(f_, static_cast<long>(last_start_), SEEK_SET);
        last_start_ = -1;
    }
}

}  // namespace orv
