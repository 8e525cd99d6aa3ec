#pragma once
// How a run ends early. Every routine that ends the run writes its message
// lines first, then throws RunStop; main catches it, closes the files and
// returns the stop code as the process status.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace orv {

// The stop codes a run can end with.
inline constexpr int32_t kStopInput = 900;    // input, configuration or allocation error
inline constexpr int32_t kStopMissing = 901;  // missing receptor or oxidant file
inline constexpr int32_t kStopPlain = 1;      // a stop without a code: still a failed run

class RunStop : public std::exception {
public:
    explicit RunStop(int32_t code) : code_(code) {}
    static RunStop plain() { return RunStop(kStopPlain); }
    int32_t code() const noexcept { return code_; }
    const char* what() const noexcept override { return "run stopped"; }

private:
    int32_t code_;
};

// A malformed input value or layout found by the text readers. The caller that
// knows the file turns it into an "*ERROR*" line and a stop (see input_failure).
class InputError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace orv

namespace orv {

class TextOut;

// Writes "*ERROR* <routine>: <what>" with the file (and line, when known) to
// the console and stops the run with code 900.
[[noreturn]] void input_stop(std::string_view routine, std::string_view file, int64_t line, std::string_view what,
                             TextOut& console);

// A write, flush or close of an output file that failed (a full disk, a file
// system error): every writer of text and binary files reports through these,
// to the console it was opened with. The line "*ERROR* <routine>: cannot write
// file (disk full or write error) - <file>" goes to the console, never to the
// message log, which may be the file that failed.
void report_output_failure(std::string_view routine, std::string_view file, TextOut& console);
// Reports the failure and stops the run with code 900; while another stop is
// already unwinding (a file closed on the way out) it only reports.
void output_stop(std::string_view routine, std::string_view file, TextOut& console);

}  // namespace orv
