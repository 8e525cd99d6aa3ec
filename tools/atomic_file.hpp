#pragma once
// An output file written under a temporary name and moved into place only
// when complete, so a failed run leaves no half-written file behind.

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

namespace orv::fixture {

class AtomicFile {
public:
    explicit AtomicFile(std::string path) : path_(std::move(path)), tmp_(path_ + ".part") {
        out_.open(tmp_, std::ios::binary | std::ios::trunc);
        if (!out_) throw std::runtime_error("cannot write " + tmp_);
    }
    ~AtomicFile() {
        if (!done_) {
            out_.close();
            std::error_code ec;
            std::filesystem::remove(tmp_, ec);
        }
    }
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    std::ofstream& out() { return out_; }
    void commit() {
        out_.close();
        if (!out_) throw std::runtime_error("cannot write " + tmp_);
        std::filesystem::rename(tmp_, path_);
        done_ = true;
    }

private:
    std::string path_, tmp_;
    std::ofstream out_;
    bool done_ = false;
};

}  // namespace orv::fixture
