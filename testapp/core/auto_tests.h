// The canned automatic tests of the AutoTests panel as plain call sequences on the wrapper,
// so that the window's buttons and the headless runner run exactly the same calls.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "testapp/core/fprt_wrapper.h"
#include "testapp/core/ui_seams.h"

namespace kelo::testapp {

// The four print-mode prefixes built at start-up: ESC followed by "|2C" (double width),
// "|3C" (double height), "|5C" (half height), "|6C" (framed text).
struct EscapePrefixes {
  std::string p2 = "\x1b|2C";
  std::string p3 = "\x1b|3C";
  std::string p5 = "\x1b|5C";
  std::string p6 = "\x1b|6C";
};

struct AutoTestContext {
  clsFprtWrapper& wrapper;
  MessageBoxes& boxes;
  // UpdateStatus of the main window (the non-fiscal tests run it after every call).
  std::function<void()> update_status;
  // Lets pending window messages run once (the loops call it after every item).
  std::function<void()> pump;
  // The folder of the program ("nftest.bmp" is looked for there).
  std::string app_folder;
  EscapePrefixes prefixes;
};

// "Print FULL Fiscal Ticket (Sync)" and "Print FULL Credit Note (Sync)". Answer the result of
// the closing call (EndFiscalReceipt, or PrintRecVoid when the last call before it failed).
int32_t FullFiscalTicket(AutoTestContext& ctx);
int32_t FullCreditNote(AutoTestContext& ctx);
// "Print SIMPLE Non Fiscal Ticket (w/o Z)": answers the result of EndNonFiscal.
int32_t SimpleNonFiscalTicket(AutoTestContext& ctx);
// "Print FULL Non Fiscal Ticket (w/ Z)": answers the result of EndNonFiscal.
int32_t FullNonFiscalTicket(AutoTestContext& ctx);
// The eleven lines both non-fiscal tests print.
std::vector<std::string> NonFiscalTestLines();

// One receipt of the endurance loops ("Continuous Print Fiscal Ticket (Sync)/(Async)"):
// `lines` items of 1.00, then the device total is compared with the line count before paying.
// The asynchronous variant waits while State reads 3 (busy), pumping 5000 times between reads.
// Answers the result of the closing call.
int32_t EnduranceReceipt(AutoTestContext& ctx, int32_t lines, bool async);

// Test names for the command line, with the caption of the button each stands for.
struct AutoTestInfo {
  std::string name;
  std::string caption;
};
const std::vector<AutoTestInfo>& AutoTestNames();

}  // namespace kelo::testapp
