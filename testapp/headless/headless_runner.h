// KeloFPUTest without windows:
//
//   KeloFPUTest --play FILE.oposcmd [--log OUT] [--stop-on-error] [--delay MS]
//               [--error-response retry|clear] [--device NAME]
//   KeloFPUTest --autotest NAME [--log OUT] [--error-response retry|clear] [--device NAME]
//               [--lines N] [--repetitions R] [--async]
//
// --play plays a macro file through the logged wrapper and the macro engine; --autotest runs
// one canned test (FullFiscalTicket, FullCreditNote, NonFiscalTicket, FullNonFiscalTicket,
// AutoPrintTicket, PrintTicketA; any letter case) between "Open Claim Enable" and "Disable
// Release Close" on the device. Log lines, exactly as the log window shows them, go to OUT
// (or standard output), one per line ended by LF; message boxes become lines on standard
// error (a Retry/Cancel box is answered by --error-response, default clear). --device (default
// "KeloFPU") is the device the Open button uses; an "F_Open" macro line may also name it.
// --delay is the pause between macro lines. --stop-on-error ends playback at the first line
// whose result is not 0. --async sets AsyncMode True once the device is enabled, as a tester
// does with the fiscal panel's "Async Mode" box before the asynchronous endurance loop.
//
// Exit status: 0 when every line (every call of the test) gave 0, otherwise the first failing
// result code clamped to 1..255; 2 for a bad command line.
#pragma once
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace kelo::testapp {

struct HeadlessOptions {
  enum class Mode { Play, AutoTest };
  Mode mode = Mode::Play;
  std::string file;      // --play
  std::string autotest;  // --autotest
  std::string log_file;  // --log ("" = standard output)
  bool stop_on_error = false;
  uint32_t delay_ms = 0;
  bool retry_on_error = false;
  std::string device = "KeloFPU";
  int32_t lines = 25;
  int32_t repetitions = 1;
  bool async_mode = false;    // --async
  std::string registry_file;  // "" = the configuration store's default
};

// nullopt with *error empty: the arguments do not ask for headless mode. nullopt with *error
// set: a bad headless command line.
std::optional<HeadlessOptions> ParseHeadlessArgs(const std::vector<std::string>& args,
                                                 std::string* error);

// Runs one headless session; answers the exit status.
int RunHeadless(const HeadlessOptions& options, std::ostream& out, std::ostream& err);

// The entry both programs call first: -1 when the arguments ask for no headless mode (the
// window program then starts normally), else the exit status. Answers --help and --version.
int HeadlessMain(int argc, char** argv);

// The complete command line of KeloFPUTest (both programs), with examples.
std::string HeadlessUsage();

}  // namespace kelo::testapp
