#pragma once
// Helpers of the dispersion tests: a vertical column at the particle, filled
// particle arrays, and a reader of binary record files written from their
// byte layout (length word, data, length word; big-endian numbers) that
// shares no code with the model's own record layer.

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "dispersion/particle_column.hpp"
#include "run/particle_arrays.hpp"
#include "meteo/met_at_particle.hpp"
#include "meteo/vertical_grid.hpp"

namespace orv::test {

// Internal levels with heights aa k^2 + bb k + cc and a uniform vertical
// variance, under a model top.
struct Column {
    InternalVerticalGrid grid;
    std::vector<float> zz;
    std::vector<ProfileRow> rows;
    float model_top;

    Column(int32_t n, float aa, float bb, float cc, float top, float variance) : model_top(top) {
        grid.aa = aa;
        grid.bb = bb;
        grid.cc = cc;
        grid.nlvl = n;
        for (int32_t k = 1; k <= n; ++k) {
            zz.push_back(1.0f - grid.height(k) / top);
            ProfileRow r;
            r.turbulence_3 = variance;
            rows.push_back(r);
        }
    }
    ParticleColumn view() const { return ParticleColumn{rows, zz, grid, model_top}; }
    // The internal coordinate of a height above ground (terrain at 0).
    float z_of(float h) const { return 1.0f - h / model_top; }
};

inline ParticleArrays make_particles(int32_t maxpar, int32_t maxdim) {
    ParticleArrays p;
    TextOut quiet;
    allocate_particle_arrays(p, maxpar, maxdim, quiet);
    for (int32_t i = 0; i < maxpar; ++i) {
        p.particle_x[i] = p.particle_y[i] = p.particle_z[i] = 0.0f;
        p.particle_sigma_h[i] = p.particle_sigma_z[i] = 0.0f;
        p.particle_turb_u[i] = p.particle_turb_v[i] = 0.0f;
        p.particle_age[i] = p.particle_hdwp[i] = 0;
        p.particle_pollutant[i] = 1;
        p.particle_grid[i] = 1;
        p.particle_sort_key[i] = i + 1;
    }
    return p;
}

// One record's data, read field by field.
class Bytes {
public:
    explicit Bytes(std::vector<uint8_t> d) : d_(std::move(d)) {}
    size_t size() const { return d_.size(); }
    size_t left() const { return d_.size() - pos_; }
    uint32_t u32() {
        need(4);
        uint32_t v = (uint32_t(d_[pos_]) << 24) | (uint32_t(d_[pos_ + 1]) << 16) | (uint32_t(d_[pos_ + 2]) << 8) |
                     uint32_t(d_[pos_ + 3]);
        pos_ += 4;
        return v;
    }
    int32_t i32() { return static_cast<int32_t>(u32()); }
    int16_t i16() {
        need(2);
        uint16_t v = static_cast<uint16_t>((d_[pos_] << 8) | d_[pos_ + 1]);
        pos_ += 2;
        return static_cast<int16_t>(v);
    }
    float f32() {
        uint32_t u = u32();
        float f;
        std::memcpy(&f, &u, 4);
        return f;
    }
    std::string chars(size_t n) {
        need(n);
        std::string s(d_.begin() + static_cast<std::ptrdiff_t>(pos_),
                      d_.begin() + static_cast<std::ptrdiff_t>(pos_ + n));
        pos_ += n;
        return s;
    }

private:
    void need(size_t n) {
        if (pos_ + n > d_.size()) throw std::runtime_error("read past the record");
    }
    std::vector<uint8_t> d_;
    size_t pos_ = 0;
};

// Every record of a file; throws when a frame is broken.
inline std::vector<Bytes> read_records(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::vector<uint8_t> all((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    std::vector<Bytes> out;
    size_t pos = 0;
    auto word = [&](size_t at) {
        if (at + 4 > all.size()) throw std::runtime_error("truncated frame");
        return (uint32_t(all[at]) << 24) | (uint32_t(all[at + 1]) << 16) | (uint32_t(all[at + 2]) << 8) |
               uint32_t(all[at + 3]);
    };
    while (pos < all.size()) {
        uint32_t n = word(pos);
        if (pos + 8 + n > all.size() || word(pos + 4 + n) != n) throw std::runtime_error("bad frame");
        out.emplace_back(std::vector<uint8_t>(all.begin() + static_cast<std::ptrdiff_t>(pos + 4),
                                              all.begin() + static_cast<std::ptrdiff_t>(pos + 4 + n)));
        pos += 8 + n;
    }
    return out;
}

}  // namespace orv::test
