#pragma once
// The two message streams of a run: the console (standard output in a run)
// and the message log ("MESSAGE"). A routine that writes lines to both takes
// this pair; one that writes to only one of them takes that stream alone.

#include "common/text_output.hpp"

namespace orv {

struct Messages {
    TextOut& console;
    TextOut& log;
};

}  // namespace orv
