#include "driver/orvcalc.hpp"

#include <iostream>
#include <memory>
#include <new>

#include "common/run_stop.hpp"
#include "common/text_output.hpp"
#include "driver/run_context.hpp"
#include "driver/settings.hpp"
#include "driver/startup.hpp"

namespace orv {

namespace {

void run(RunContext& ctx, int argc, const char* const* argv) {
    start_up(ctx, argc > 1 ? argv[1] : "");
    read_run_settings(ctx.run_suffix, ctx.setup, ctx.hg_setup, ctx.hgsim);
    console("*ERROR* main: control input not yet read - the run cannot go on");
    throw RunStop::plain();
}

}  // namespace

int32_t run_orvcalc(int argc, const char* const* argv) {
    int32_t status = 0;
    auto ctx = std::make_unique<RunContext>();
    try {
        run(*ctx, argc, argv);
    } catch (const RunStop& stop) {
        status = stop.code();
    } catch (const std::bad_alloc&) {
        console("ERROR orvcalc: memory allocation - out of memory");
        status = kStopInput;
    } catch (const std::exception& e) {
        console("*ERROR* orvcalc: ", std::string(e.what()));
        status = kStopPlain;
    }
    ctx.reset();  // closes every file
    std::cout.flush();
    return status;
}

}  // namespace orv
