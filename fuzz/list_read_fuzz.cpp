// Fuzz target: the free-format (list-directed) reader. The first byte picks
// the item types of each read; the rest is the text read. A malformed value
// or the end of the text must end in orv::InputError, nothing else.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <span>
#include <string>
#include <vector>

#include "common/run_stop.hpp"
#include "common/text_input.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const uint8_t pattern = data[0];
    std::istringstream stream(std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
    orv::TextInput in;
    in.attach(stream, "fuzz");
    int32_t i[3] = {};
    float f[3] = {};
    double d = 0.0;
    std::string s[2];
    bool b = false;
    // Up to 64 reads of five items each, the types chosen by the pattern.
    for (int read = 0; read < 64; ++read) {
        std::vector<orv::fmt::Target> targets;
        for (int k = 0; k < 5; ++k) {
            switch ((pattern >> ((read + k) % 8)) & 3) {
                case 0: targets.emplace_back(i[k % 3]); break;
                case 1: targets.emplace_back(f[k % 3]); break;
                case 2: targets.emplace_back(k == 4 ? s[1] : s[0]); break;
                default:
                    if (k == 2) targets.emplace_back(d);
                    else targets.emplace_back(f[0]);
                    break;
            }
        }
        if (read % 7 == 6) targets.emplace_back(b);
        try {
            orv::list_read(in, std::span<const orv::fmt::Target>(targets));
        } catch (const orv::InputError&) {
            if (stream.eof()) break;
        }
    }
    return 0;
}
