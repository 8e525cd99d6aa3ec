#pragma once
// First-order species conversion: mass moves from one pollutant slot of a
// particle or puff to another at a fixed rate per hour, reaction by reaction
// in table order, with a mass factor for the product.
//
// "CHEMRATE.TXT" (working directory): one reaction per line, free-format:
// from slot, to slot, rate per hour, mass factor. Blank lines are skipped.
// Without the file one reaction converts slot 1 to slot 2 at 0.1 per hour.

#include <cstdint>
#include <string_view>
#include <vector>

#include "common/messages.hpp"
#include "common/text_output.hpp"
#include "run/particle_arrays.hpp"
#include "run/pollutants.hpp"

namespace orv {

inline constexpr std::string_view kReactionTableFile = "CHEMRATE.TXT";

struct Reaction {
    int32_t from_slot = 0;  // 1-based
    int32_t to_slot = 0;
    float rate_per_hour = 0.0f;
    float mass_factor = 0.0f;
};

// The reaction table, read once per run on the first conversion.
struct ReactionTable {
    bool loaded = false;
    std::vector<Reaction> reactions;
};

// Reads the table (or takes the default) for particles of `maxdim` mass
// slots and echoes each reaction with the identifiers of DIRT. Fewer than two
// slots end the run; a line that cannot be read, a slot outside 1..maxdim, a
// negative mass factor, or a factor above 1e6 with a rate other than 0 stops
// it with code 900 naming the file and line.
void load_reaction_table(ReactionTable& table, int32_t maxdim, const std::vector<Pollutant>& dirt, Messages msg);

// Converts the masses of entry i over one step of dt_minutes (either sign
// converts the same amount). Loads the table on the first call.
void chem02(const std::vector<Pollutant>& dirt, float dt_minutes, ParticleArrays& p, int32_t i, ReactionTable& table,
            Messages msg);

}  // namespace orv
