// The soak: many complete receipts driven through one layer of the driver against the
// in-process printer simulator on a real pseudo-terminal with faults on the line, then the
// audit of the printer's journal and counters against what the driver reported.
//
//   link   FpuProtocol directly (the exchange rules: sequence numbers, retries, busy and
//          in-progress replies);
//   sync   the FiscalPrinter control object over the service object, AsyncMode false;
//   async  the same with AsyncMode true: OutputCompleteEvents must come in OutputID order,
//          an ErrorEvent is answered with retry (or clear after the retries are spent).
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "simulator/faults.h"
#include "simulator/frame_server.h"
#include "simulator/simulator.h"
#include "tests/soak/receipt_audit.h"
#include "tests/soak/receipt_plan.h"

namespace kelo::soak {

enum class SoakMode { kLink, kSync, kAsync };

struct SoakOptions {
  SoakMode mode = SoakMode::kLink;
  int32_t receipts = 100;
  int32_t jobs = 1;  // independent printer+driver pairs run side by side
  std::string faults = "corrupt=0.01,drop=0.01,truncate=0.005,busy=0.02,inprogress=0.02,noise=0.01";
  uint64_t seed = 1;
  uint32_t time_scale = 1;  // 1: real time
  std::string library;      // libsoKeloFpu.so (sync/async)
  bool verbose = false;
};

struct SoakReport {
  SoakOptions options;
  PlanCounts planned;
  uint64_t receipts_closed = 0;
  uint64_t receipts_voided = 0;   // voided on purpose or after a failure
  uint64_t receipts_unknown = 0;  // end sent, answer lost: resolved by the audit
  uint64_t receipts_left_open = 0;
  uint64_t commands = 0;           // driver calls (link: command operations; service: methods)
  uint64_t frames_sent = 0;        // command frames written (link mode), resends included
  uint64_t failures_reported = 0;  // calls that returned a failure
  std::map<std::string, uint64_t> failures_by_code;
  uint64_t events_output_complete = 0;
  uint64_t events_error = 0;
  uint64_t event_order_violations = 0;
  sim::FaultCounters faults;
  sim::ExchangeCounters exchanges;
  AuditResult audit;
  double seconds = 0;
  std::string setup_error;  // set when the run could not start
  std::string run_error;    // set when a job had to stop early (a queue that never drained)
  bool ok() const {
    return setup_error.empty() && run_error.empty() && audit.ok() && event_order_violations == 0;
  }
};

bool ParseMode(const std::string& text, SoakMode* mode);
const char* ModeName(SoakMode mode);

SoakReport RunSoak(const SoakOptions& options);

// Report text: a readable block, and a Markdown table for docs/RELIABILITY.md.
std::string FormatReport(const SoakReport& report);
std::string FormatMarkdown(const SoakReport& report, const std::string& command);

// One job of the run, per mode (soak_link.cc, soak_service.cc). The job's receipts are
// numbered first..first+count-1; its printer's counters and journal are audited by the caller.
struct JobOutcome {
  std::vector<ReceiptRecord> records;
  PlanCounts planned;
  uint64_t commands = 0;
  uint64_t frames_sent = 0;
  uint64_t failures = 0;
  std::map<std::string, uint64_t> failures_by_code;
  uint64_t events_output_complete = 0;
  uint64_t events_error = 0;
  uint64_t event_order_violations = 0;
  sim::FaultCounters faults;
  sim::ExchangeCounters exchanges;
  AuditResult audit;
  std::string setup_error;
  std::string run_error;
};

// The simulator of one job: the run's fault mix with a seed of the job's own, on clock.
// False, with out->setup_error set, when the fault spec does not parse or it cannot start.
bool StartJobSimulator(const SoakOptions& options, int32_t job, platform::Clock& clock,
                       std::unique_ptr<sim::Simulator>* simulator, JobOutcome* out);

JobOutcome RunLinkJob(const SoakOptions& options, int32_t job, int32_t count);
JobOutcome RunServiceJob(const SoakOptions& options, int32_t job, int32_t count);

}  // namespace kelo::soak
