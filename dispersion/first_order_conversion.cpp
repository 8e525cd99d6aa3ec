#include "dispersion/first_order_conversion.hpp"

#include <algorithm>
#include <cmath>
#include <sstream>

#include "common/number_text.hpp"
#include "common/optional_input.hpp"
#include "common/run_stop.hpp"
#include "common/text_input.hpp"

namespace orv {

namespace {

bool is_blank_line(std::string_view line) { return line.find_first_not_of(" \t") == std::string_view::npos; }

// One reaction from one line; the line alone must hold its four values.
Reaction read_reaction(const TextInput& file, std::string_view line, TextOut& console) {
    Reaction r;
    std::istringstream s{std::string(line)};
    TextInput one;
    one.attach(s, file.name());
    try {
        list_read(one, r.from_slot, r.to_slot, r.rate_per_hour, r.mass_factor);
    } catch (const InputError& e) {
        const std::string why = std::string_view(e.what()) == "end of file" ? "too few values" : e.what();
        input_stop("chem02", file.name(), file.line_number(), "reaction cannot be read (" + why + ")", console);
    }
    return r;
}

// Over a run a reaction with a rate converts at most the whole mass of its
// source slot, whatever the rate, so its product gains at most the factor
// times that mass. A puff holds at most 1e25 (the particle mass bound) and
// the concentration sums overflow near 1.7e31: a factor up to 1e6 keeps them
// finite. Real factors are ratios of molecular weights, far below it.
constexpr float kMaxMassFactor = 1.0e6f;

// Why a reaction of the table cannot be taken; empty when it can.
std::string reaction_refusal(const Reaction& r, int32_t maxdim) {
    if (r.from_slot < 1 || r.from_slot > maxdim || r.to_slot < 1 || r.to_slot > maxdim)
        return "reaction slot outside 1 to MAXDIM (" + std::to_string(maxdim) + ")";
    if (r.mass_factor < 0.0f) return "mass factor " + number_text(r.mass_factor) + " is negative";
    if (r.rate_per_hour != 0.0f && r.mass_factor > kMaxMassFactor)
        return "mass factor " + number_text(r.mass_factor) + " of a reaction at rate " +
               number_text(r.rate_per_hour) + " per hour is above the largest the run takes (1e6)";
    return {};
}

std::string_view identifier(const std::vector<Pollutant>& dirt, int32_t slot) {
    if (slot < 1 || slot > static_cast<int32_t>(dirt.size())) return "????";
    return dirt[static_cast<size_t>(slot - 1)].pollutant_id;
}

}  // namespace

void load_reaction_table(ReactionTable& table, int32_t maxdim, const std::vector<Pollutant>& dirt, Messages msg) {
    if (maxdim < 2) {
        msg.log.list("*ERROR* chem02 - multiple species definition required");
        msg.log.list(" Redefine with MAXDIM = ", maxdim);
        msg.console.list("*ERROR* chem02 - see message file for more information");
        throw RunStop::plain();
    }
    table.reactions.clear();
    const std::string name(kReactionTableFile);
    if (!optional_input_present(name, "chem02", msg.console)) {
        msg.log.list(" NOTICE chem02: CHEMRATE.TXT not found, using default");
        table.reactions.push_back(Reaction{1, 2, 0.1f, 1.0f});
    } else {
        TextInput in;
        if (!in.open(name)) {
            msg.console.list("*ERROR* chem02: unable to open file - ", name);
            throw RunStop(kStopInput);
        }
        std::string_view line;
        while (in.next_line(line)) {
            if (is_blank_line(line)) continue;
            const Reaction r = read_reaction(in, line, msg.console);
            const std::string why = reaction_refusal(r, maxdim);
            if (!why.empty()) input_stop("chem02", in.name(), in.line_number(), why, msg.console);
            table.reactions.push_back(r);
        }
    }
    for (const Reaction& r : table.reactions)
        msg.log.list(" NOTICE chem02: ", identifier(dirt, r.from_slot), " to ", identifier(dirt, r.to_slot));
    table.loaded = true;
}

void chem02(const std::vector<Pollutant>& dirt, float dt_minutes, ParticleArrays& p, int32_t i, ReactionTable& table,
            Messages msg) {
    if (!table.loaded) load_reaction_table(table, p.maxdim, dirt, msg);
    float* mass = p.particle_mass.data() + int64_t{i} * p.maxdim;
    for (const Reaction& r : table.reactions) {
        const float m = mass[r.from_slot - 1];
        const float x = std::fabs(r.rate_per_hour * dt_minutes / 60.0f);
        const float dm = x < 0.01f ? std::min(x * m, m) : std::min((1.0f - std::exp(-x)) * m, m);
        mass[r.from_slot - 1] = m - dm;
        mass[r.to_slot - 1] += dm * r.mass_factor;
    }
}

}  // namespace orv
