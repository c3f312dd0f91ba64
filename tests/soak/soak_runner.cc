#include "tests/soak/soak_runner.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <thread>

#include "platform/automation/loader.h"

namespace kelo::soak {
namespace {

void AddFaults(sim::FaultCounters& a, const sim::FaultCounters& b) {
  a.corrupted += b.corrupted;
  a.dropped += b.dropped;
  a.truncated += b.truncated;
  a.noise += b.noise;
  a.busy += b.busy;
  a.inprogress += b.inprogress;
  a.errors += b.errors;
  a.cover += b.cover;
  a.nearend += b.nearend;
  a.paperout += b.paperout;
}

void AddExchanges(sim::ExchangeCounters& a, const sim::ExchangeCounters& b) {
  a.frames += b.frames;
  a.executed += b.executed;
  a.replays += b.replays;
  a.bad_check += b.bad_check;
  a.out_of_step += b.out_of_step;
  a.refused_busy += b.refused_busy;
  a.ignored_off += b.ignored_off;
  a.discarded += b.discarded;
}

void AddAudit(AuditResult& a, const AuditResult& b) {
  a.lines_checked += b.lines_checked;
  a.receipts_checked += b.receipts_checked;
  a.totals_checked += b.totals_checked;
  a.duplicates += b.duplicates;
  a.losses += b.losses;
  a.mismatches += b.mismatches;
  for (const std::string& f : b.findings) a.Add(f);
}

// The service modes load the component through a configuration file of their own.
bool PrepareRegistry(const SoakOptions& options, std::string* error) {
  if (options.library.empty()) {
    *error = "--library PATH of libsoKeloFpu.so is needed for this mode";
    return false;
  }
  char dir[] = "/tmp/kelofpu-soak-XXXXXX";
  if (mkdtemp(dir) == nullptr) {
    *error = "cannot create a temporary folder";
    return false;
  }
  const std::string file = std::string(dir) + "/registry.reg";
  setenv("OPOS_REGISTRY", file.c_str(), 1);
  automation::CreateResult r = automation::RegisterServer(options.library);
  if (r.hr != automation::S_OK) {
    *error = "registering " + options.library + ": " + r.error;
    return false;
  }
  return true;
}

}  // namespace

bool StartJobSimulator(const SoakOptions& options, int32_t job, platform::Clock& clock,
                       std::unique_ptr<sim::Simulator>* simulator, JobOutcome* out) {
  sim::SimulatorOptions sim_options;
  std::string error;
  if (!sim::ParseFaultSpec(options.faults, &sim_options.faults, &error)) {
    out->setup_error = "--faults: " + error;
    return false;
  }
  sim_options.seed = options.seed * 7919 + static_cast<uint64_t>(job);
  sim_options.ticks = &clock;
  *simulator = std::make_unique<sim::Simulator>(sim_options);
  if (!(*simulator)->Start(&error)) {
    out->setup_error = "simulator: " + error;
    return false;
  }
  return true;
}

bool ParseMode(const std::string& text, SoakMode* mode) {
  if (text == "link")
    *mode = SoakMode::kLink;
  else if (text == "sync")
    *mode = SoakMode::kSync;
  else if (text == "async")
    *mode = SoakMode::kAsync;
  else
    return false;
  return true;
}

const char* ModeName(SoakMode mode) {
  switch (mode) {
    case SoakMode::kLink:
      return "link";
    case SoakMode::kSync:
      return "sync";
    case SoakMode::kAsync:
      return "async";
  }
  return "?";
}

SoakReport RunSoak(const SoakOptions& options) {
  SoakReport report;
  report.options = options;
  const auto start = std::chrono::steady_clock::now();
  if (options.mode != SoakMode::kLink && !PrepareRegistry(options, &report.setup_error)) {
    return report;
  }
  const int32_t jobs = std::max(1, std::min(options.jobs, options.receipts));
  std::vector<JobOutcome> outcomes(static_cast<size_t>(jobs));
  std::vector<std::thread> threads;
  for (int32_t j = 0; j < jobs; ++j) {
    const int32_t count = options.receipts / jobs + (j < options.receipts % jobs ? 1 : 0);
    threads.emplace_back([&, j, count] {
      outcomes[static_cast<size_t>(j)] = options.mode == SoakMode::kLink
                                             ? RunLinkJob(options, j + 1, count)
                                             : RunServiceJob(options, j + 1, count);
    });
  }
  for (std::thread& t : threads) t.join();

  for (const JobOutcome& o : outcomes) {
    if (!o.setup_error.empty() && report.setup_error.empty()) report.setup_error = o.setup_error;
    if (!o.run_error.empty() && report.run_error.empty()) report.run_error = o.run_error;
    report.planned += o.planned;
    for (const ReceiptRecord& rec : o.records) {
      switch (rec.end) {
        case ReceiptRecord::End::kClosed:
          report.receipts_closed++;
          break;
        case ReceiptRecord::End::kVoided:
          report.receipts_voided++;
          break;
        case ReceiptRecord::End::kUnknown:
          report.receipts_unknown++;
          break;
        case ReceiptRecord::End::kLeftOpen:
          report.receipts_left_open++;
          break;
        case ReceiptRecord::End::kNotStarted:
          break;
      }
    }
    report.commands += o.commands;
    report.frames_sent += o.frames_sent;
    report.failures_reported += o.failures;
    for (const auto& [code, n] : o.failures_by_code) report.failures_by_code[code] += n;
    report.events_output_complete += o.events_output_complete;
    report.events_error += o.events_error;
    report.event_order_violations += o.event_order_violations;
    AddFaults(report.faults, o.faults);
    AddExchanges(report.exchanges, o.exchanges);
    AddAudit(report.audit, o.audit);
  }
  report.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return report;
}

std::string FormatReport(const SoakReport& r) {
  std::ostringstream s;
  const SoakOptions& o = r.options;
  s << "kelofpu-soak: mode " << ModeName(o.mode) << ", " << o.receipts << " receipts, " << o.jobs
    << " job(s), seed " << o.seed << ", time scale " << o.time_scale << "\n";
  s << "faults spec: " << (o.faults.empty() ? "(none)" : o.faults) << "\n";
  if (!r.setup_error.empty()) {
    s << "SETUP FAILED: " << r.setup_error << "\n";
    return s.str();
  }
  s << "planned: " << r.planned.receipts << " receipts, " << r.planned.lines << " lines ("
    << r.planned.sales << " sales, " << r.planned.voids << " item voids, " << r.planned.adjustments
    << " adjustments, " << r.planned.refunds << " refunds, " << r.planned.payments
    << " payments)\n";
  s << "receipts: " << r.receipts_closed << " closed, " << r.receipts_voided << " voided, "
    << r.receipts_unknown << " end unconfirmed, " << r.receipts_left_open << " left open\n";
  s << "driver: " << r.commands << " calls";
  if (r.frames_sent) s << ", " << r.frames_sent << " frames sent";
  s << ", " << r.failures_reported << " failures reported";
  for (const auto& [code, n] : r.failures_by_code) s << " [" << code << ": " << n << "]";
  s << "\n";
  if (o.mode == SoakMode::kAsync) {
    s << "events: " << r.events_output_complete << " OutputComplete, " << r.events_error
      << " Error, " << r.event_order_violations << " out of order\n";
  }
  const sim::FaultCounters& f = r.faults;
  s << "faults injected: corrupt " << f.corrupted << ", drop " << f.dropped << ", truncate "
    << f.truncated << ", noise " << f.noise << ", busy " << f.busy << ", in-progress "
    << f.inprogress << ", error " << f.errors << ", cover " << f.cover << ", paper-out "
    << f.paperout << "\n";
  const sim::ExchangeCounters& e = r.exchanges;
  s << "printer: " << e.frames << " frames received, " << e.executed << " executed, " << e.replays
    << " answered again (resends), " << e.bad_check << " bad check, " << e.out_of_step
    << " out of step, " << e.refused_busy << " busy while in progress, " << e.discarded
    << " partial frames discarded\n";
  if (!r.run_error.empty()) s << "RUN STOPPED EARLY: " << r.run_error << "\n";
  const AuditResult& a = r.audit;
  s << "audit: " << a.lines_checked << " lines, " << a.receipts_checked << " receipts, "
    << a.totals_checked << " totals checked; " << a.duplicates << " duplicates, " << a.losses
    << " losses, " << a.mismatches << " mismatches\n";
  for (const std::string& finding : a.findings) s << "  " << finding << "\n";
  char secs[64];
  std::snprintf(secs, sizeof secs, "%.1f", r.seconds);
  s << "time: " << secs << " s\n";
  s << "RESULT: " << (r.ok() ? "PASS" : "FAIL") << "\n";
  return s.str();
}

std::string FormatMarkdown(const SoakReport& r, const std::string& command) {
  std::ostringstream s;
  const sim::FaultCounters& f = r.faults;
  const sim::ExchangeCounters& e = r.exchanges;
  const AuditResult& a = r.audit;
  char secs[64];
  std::snprintf(secs, sizeof secs, "%.0f", r.seconds);
  s << "Command: `" << command << "`\n\n";
  s << "| Figure | Value |\n|---|---|\n";
  s << "| Mode | " << ModeName(r.options.mode) << " |\n";
  s << "| Fault spec | `" << r.options.faults << "` |\n";
  s << "| Receipts | " << r.planned.receipts << " (" << r.receipts_closed << " closed, "
    << r.receipts_voided << " voided, " << r.receipts_unknown << " end unconfirmed, "
    << r.receipts_left_open << " left open) |\n";
  s << "| Lines | " << r.planned.lines << " (" << r.planned.sales << " sales, " << r.planned.voids
    << " item voids, " << r.planned.adjustments << " adjustments, " << r.planned.refunds
    << " refunds, " << r.planned.payments << " payments) |\n";
  s << "| Driver calls | " << r.commands << " |\n";
  if (r.frames_sent) s << "| Command frames sent (resends included) | " << r.frames_sent << " |\n";
  s << "| Faults injected | corrupt " << f.corrupted << ", drop " << f.dropped << ", truncate "
    << f.truncated << ", noise " << f.noise << ", busy " << f.busy << ", in-progress "
    << f.inprogress << " |\n";
  s << "| Printer side | " << e.frames << " frames, " << e.executed << " executed, " << e.replays
    << " answered from the stored reply, " << e.bad_check << " bad check, " << e.out_of_step
    << " out of step |\n";
  s << "| Failures reported to the caller | " << r.failures_reported;
  for (const auto& [code, n] : r.failures_by_code) s << " (" << code << ": " << n << ")";
  s << " |\n";
  if (r.options.mode == SoakMode::kAsync) {
    s << "| Events | " << r.events_output_complete << " OutputComplete, " << r.events_error
      << " Error, " << r.event_order_violations << " out of order |\n";
  }
  s << "| Audit | " << a.lines_checked << " lines, " << a.totals_checked << " totals checked: **"
    << a.duplicates << " duplicates, " << a.losses << " losses, " << a.mismatches
    << " mismatches** |\n";
  if (!r.run_error.empty()) s << "| Stopped early | " << r.run_error << " |\n";
  s << "| Wall time | " << secs << " s (time scale " << r.options.time_scale << ") |\n";
  s << "| Result | " << (r.ok() ? "PASS" : "FAIL") << " |\n";
  for (const std::string& finding : a.findings) s << "\n- " << finding;
  if (!a.findings.empty()) s << "\n";
  return s.str();
}

}  // namespace kelo::soak
