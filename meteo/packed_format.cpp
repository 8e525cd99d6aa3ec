#include "meteo/packed_format.hpp"

#include "common/fortran_format.hpp"
#include "common/run_stop.hpp"

namespace orv {

DataLabel read_data_label(std::string_view label) {
    static const fmt::Format f(kDataLabelFormat);
    DataLabel d;
    std::string id;
    fmt::read(label, f, d.year, d.month, d.day, d.hour, d.forecast, d.level, id, d.nexp, d.prec, d.var1);
    d.id = FourChars(id);
    return d;
}

FixedHeader read_fixed_header(std::string_view header) {
    static const fmt::Format f(kFixedHeaderFormat);
    FixedHeader h;
    std::string id;
    auto& r = h.reals;
    fmt::read(header.substr(0, kFixedHeaderLength), f, id, h.forecast, h.minutes, r[0], r[1], r[2], r[3], r[4],
              r[5], r[6], r[7], r[8], r[9], r[10], r[11], h.nx, h.ny, h.nz, h.vertical_type, h.header_length);
    h.source_id = FourChars(id);
    return h;
}

bool decode_grid_field(std::string_view field, GridField& out) {
    auto c1 = static_cast<unsigned char>(field.size() > 0 ? field[0] : ' ');
    auto c2 = static_cast<unsigned char>(field.size() > 1 ? field[1] : ' ');
    out = GridField{};
    if (c1 < 64 && c2 < 64) {
        out.grid_number = fmt::parse_int_field(field.substr(0, 2));
        return true;
    }
    out.nx_extra = (int32_t{c1} - 64) * 1000;
    out.ny_extra = (int32_t{c2} - 64) * 1000;
    out.grid_number = int32_t{c1} * 10 + int32_t{c2};
    return out.nx_extra >= 0 && out.ny_extra >= 0;
}

std::string encode_grid_field(int32_t grid_number, int32_t nx, int32_t ny) {
    if (nx < 1000 && ny < 1000) return fmt::format_int(grid_number, 2);
    std::string s(2, ' ');
    s[0] = static_cast<char>(64 + nx / 1000);
    s[1] = static_cast<char>(64 + ny / 1000);
    return s;
}

int32_t packed_checksum(std::span<const uint8_t> bytes) {
    int32_t sum = 0;
    for (uint8_t c : bytes) {
        sum += c;
        if (sum >= 256) sum -= 255;
    }
    return sum;
}

}  // namespace orv
