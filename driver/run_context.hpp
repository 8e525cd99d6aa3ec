#pragma once
// The state of one model run: created by main and passed by reference to
// every step of the run.

#include <string>

#include "common/text_output.hpp"
#include "driver/settings.hpp"
#include "mercury/diagnostic_channels.hpp"

namespace orv {

struct RunContext {
    std::string run_suffix;  // from the command line; empty when none
    TextOut log;             // the message log, MESSAGE
    DiagnosticChannels channels;

    Settings setup;
    HgSetup hg_setup;
    Hgsim hgsim;
};

}  // namespace orv
