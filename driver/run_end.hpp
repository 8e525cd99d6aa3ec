#pragma once
// The end of a run that went through all its hours: the end-of-run warnings,
// "Complete Orvante", the diagnostic files closed and the meteorological
// arrays released.

#include "driver/run_context.hpp"

namespace orv {

void end_run(RunContext& ctx);

}  // namespace orv
