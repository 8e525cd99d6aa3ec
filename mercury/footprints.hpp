#pragma once
// Which receptor areas and cep points a particle or puff touches in a step.
//
// The type is the particle's type code, reduced as the dispersion does (its
// tens digit from 100 on): 0 is a particle, 2 and 4 are top-hat puffs, whose
// footprint is taken as a square of the area of a disc of diameter
// D = 2 x 1.54 sigma_h; other types touch no receptor. A cep is touched by
// any puff whose 1.54 sigma_h radius reaches it.
//
// Both tests look only at the receptors and ceps in the latitude bands the
// particle or its footprint can reach; the others are left at 0, as a full
// scan would leave them.

#include <cstdint>
#include <span>

#include "mercury/diagnostic_channels.hpp"
#include "mercury/receptor_tables.hpp"

namespace orv {

// Sets pfrac (one entry per receptor) to the share of the particle or puff
// over each receptor: 1 for a particle inside one of its divisions, the
// overlap of a top-hat puff's square with the receptor's divisions. sigma_h
// in m, latitude and longitude in degrees. May dump to channel 1.
void flag_touched_receptors(int32_t hdwp, float lat, float lon, float sigma_h, const ReceptorTables& tables,
                            std::span<float> pfrac, DiagnosticChannels& channels);

// Sets cepres (one entry per cep) to 1 for every cep within 1.54 sigma_h of
// the puff, else 0. A particle (type 0) has no radius: the console says so and
// every entry stays 0. May dump to channel 3.
void ceptest(int32_t hdwp, float lat, float lon, float sigma_h, const CepTables& tables, std::span<float> cepres,
             DiagnosticChannels& channels, TextOut& console);

}  // namespace orv
