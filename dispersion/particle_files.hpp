#pragma once
// The particle dump and initialisation files: binary record files of time
// groups, each a header (count, pollutants, year, month, day, hour) and three
// records per particle (masses; latitude, longitude, height, spreads and
// turbulent velocity; age, type, pollutant, grid and sort key). A dump can
// serve as an initialisation file for a later run.

#include <cstdint>
#include <string>
#include <vector>

#include "common/messages.hpp"
#include "common/record_file.hpp"
#include "common/text_output.hpp"
#include "run/particle_arrays.hpp"
#include "meteo/met_tables.hpp"

namespace orv {

// The open particle files of a run.
struct ParticleFiles {
    RecordWriter dump;      // POUTF, kept open so that dumps are appended
    std::string dump_name;
    RecordReader init;      // PINPF, open until its end or a failure
    std::string init_name;
    int64_t records_read = 0;        // records of PINPF read so far (the one read last is this number)
    bool limit_warned = false;       // "exceeding particle number limit", once per run
    std::vector<uint8_t> record;     // read buffer
    RecordBuilder out;               // write buffer
};

// Writes one time group of entries 1..particle_count at model_time; each
// entry's position is converted on its own meteorological grid at time index
// kt (an ended entry, grid 0, is written at latitude and longitude 0).
void parout(int32_t model_time, const ParticleArrays& p, float model_top, const MeteoFiles& met, int32_t kt,
            ParticleFiles& files, Messages msg);

// Reads the whole initialisation file once before the run starts and checks
// every group that parinp may load in the run's direction (forward, those
// dated at or after model_time; backward, the group of model_time and the
// earlier ones read after it): the file's pollutant count must be the run's,
// and every value of every particle must be one a dump of a valid run can
// hold (finite masses no larger than the run takes; spreads, velocity and age
// within bounds; a type code the run can carry; a grid of the run, a latitude
// and longitude that its conversion at time index kt reaches, and a height
// below the model top; a place off that grid is kept for the advance to move
// or end). A bad value stops the run naming the file, the record, the
// particle and the item. The file is then opened again at its start.
void check_particle_init_file(int32_t model_time, bool backward, int32_t kt, const ParticleArrays& p,
                              float model_top, const MeteoFiles& met, ParticleFiles& files, Messages msg);

// Reads the groups of the initialisation file up to model_time: older groups
// are skipped, the group of model_time is added (NINIT 3: it replaces the
// entries present), a later group waits for a later call. Positions are
// converted onto each entry's meteorological grid at time index kt. A
// truncated or damaged file, another pollutant count than the run's, or a
// value that check_particle_init_file refuses stops the run naming the file.
void parinp(int32_t model_time, int32_t kt, ParticleArrays& p, float model_top, int32_t NINIT,
            const MeteoFiles& met, ParticleFiles& files, Messages msg);

}  // namespace orv
