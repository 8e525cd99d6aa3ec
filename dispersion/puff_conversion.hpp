#pragma once
// Hour-end housekeeping of the particle arrays: conversion of particles
// released to become puffs (types 103, 104) and of puffs released to become
// particles (130, 140) once they reach the conversion age, and the compaction
// that drops ended and exhausted entries and packs the rest to the front.

#include <cstdint>

#include "common/text_output.hpp"
#include "run/particle_arrays.hpp"

namespace orv {

// Types 103 and 104 aged `conversion_age` minutes or more become 3 and 4,
// their turbulent velocities and vertical value zeroed.
void parpuf(ParticleArrays& p, int32_t conversion_age, TextOut& log);

// Types 130 and 140 aged `conversion_age` minutes or more become particles.
void pufpar(ParticleArrays& p, int32_t conversion_age, TextOut& log);

// Drops every entry that has ended (grid 0), has lived KHMAX hours or more,
// or (samplers apart) holds a total mass at or below `minimum_mass`; moves
// the others down in one pass and gives them the sort keys 1..n in order.
void compact_particle_list(ParticleArrays& p, int32_t KHMAX, float minimum_mass);

}  // namespace orv
