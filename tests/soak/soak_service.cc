// The service-level soak job: the same receipts through the FiscalPrinter control object,
// which loads the service object (libsoKeloFpu.so) through the configuration file and the
// automation loader, against the simulator on a pseudo-terminal.
//
// Synchronous mode: every method returns its result; after a failure the soak voids the
// receipt (printRecVoid until the printer state is back to monitor).
// Asynchronous mode: every output method is queued; OutputCompleteEvents must arrive in
// OutputID order; an ErrorEvent is answered with retry up to kErrorRetries times for one
// OutputID, then with clear (the rest of the receipt is dropped and the receipt voided).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "control/fiscal_printer.h"
#include "opos/opos_constants.h"
#include "platform/registry/config_store.h"
#include "simulator/simulator.h"
#include "testing/scaled_clock.h"
#include "tests/soak/soak_runner.h"

namespace kelo::soak {
namespace {

constexpr int32_t kPrinterStateMonitor = 1;  // FPTR_PS_MONITOR
constexpr int kErrorRetries = 2;
constexpr int kRecoveryRounds = 6;
constexpr auto kDrainLimit = std::chrono::seconds(60);
constexpr int kQuietMs = 2000;  // one receipt's queue, worst case

std::string DeviceKey(const std::string& name) {
  return std::string(platform::kHklm) + "\\SOFTWARE\\OLEforRetail\\ServiceOPOS\\FiscalPrinter\\" +
         name;
}

control::Currency Money(int64_t hundredths) {
  return control::Currency(hundredths * 100);
}

// Events of the asynchronous queue, as the control object delivers them (on the service
// object's delivery thread).
class EventLog {
 public:
  // The soak's thread registers each queued output once its call has returned.
  void Queued(int32_t id) {
    std::lock_guard<std::mutex> lock(mu_);
    if (complete_.count(id) == 0) pending_.insert(id);
  }
  void OnOutputComplete(int32_t id) {
    std::lock_guard<std::mutex> lock(mu_);
    // OutputIDs are handed out in call order and the queue runs oldest first.
    if (id <= last_complete_) order_violations_++;
    last_complete_ = std::max(last_complete_, id);
    complete_.insert(id);
    pending_.erase(id);
    output_complete_++;
  }
  // The error belongs to the oldest output still queued. Retry it up to kErrorRetries
  // times, then clear, which drops every queued output.
  int32_t OnError() {
    std::lock_guard<std::mutex> lock(mu_);
    errors_++;
    const int32_t id = pending_.empty() ? last_complete_ + 1 : *pending_.begin();
    if (++retries_[id] <= kErrorRetries) return opos::OPOS_ER_RETRY;
    cleared_.insert(id);
    for (int32_t p : pending_) dropped_.insert(p);
    pending_.clear();
    return opos::OPOS_ER_CLEAR;
  }
  bool Completed(int32_t id) {
    std::lock_guard<std::mutex> lock(mu_);
    return complete_.count(id) != 0;
  }
  bool Cleared(int32_t id) {
    std::lock_guard<std::mutex> lock(mu_);
    return cleared_.count(id) != 0;
  }
  // Every registered output has completed or was dropped by a clear.
  bool Settled() {
    std::lock_guard<std::mutex> lock(mu_);
    return pending_.empty();
  }
  // After the queue has been seen idle for long: what is still pending was dropped.
  void DropPending() {
    std::lock_guard<std::mutex> lock(mu_);
    for (int32_t p : pending_) dropped_.insert(p);
    pending_.clear();
  }
  uint64_t output_complete() {
    std::lock_guard<std::mutex> lock(mu_);
    return output_complete_;
  }
  uint64_t errors() {
    std::lock_guard<std::mutex> lock(mu_);
    return errors_;
  }
  uint64_t order_violations() {
    std::lock_guard<std::mutex> lock(mu_);
    return order_violations_;
  }

 private:
  // Guards everything below: written by the delivery thread, read by the soak's thread.
  std::mutex mu_;
  std::set<int32_t> pending_;
  int32_t last_complete_ = 0;
  std::set<int32_t> complete_;
  std::map<int32_t, int> retries_;
  std::set<int32_t> cleared_;
  std::set<int32_t> dropped_;
  uint64_t output_complete_ = 0;
  uint64_t errors_ = 0;
  uint64_t order_violations_ = 0;
};

class ServiceDriver {
 public:
  ServiceDriver(control::FiscalPrinter& fp, JobOutcome& out, bool async, EventLog& events)
      : fp_(fp), out_(out), async_(async), events_(events) {}

  // Output methods (queued in asynchronous mode) go through Output; the others through Call.
  int32_t Output(int32_t result) {
    if (async_ && result == opos::OPOS_SUCCESS) events_.Queued(fp_.OutputID());
    return Call(result);
  }
  int32_t Call(int32_t result) {
    out_.commands++;
    if (std::getenv("KELO_SOAK_DEBUG")) {
      std::fprintf(stderr, "call -> %d (ext %d, OutputID %d, State %d, PrinterState %d)\n", result,
                   fp_.ResultCodeExtended(), fp_.OutputID(), fp_.State(), fp_.PrinterState());
    }
    if (result != opos::OPOS_SUCCESS) {
      out_.failures++;
      out_.failures_by_code["OPOS " + std::to_string(result) + "/" +
                            std::to_string(fp_.ResultCodeExtended())]++;
    }
    return result;
  }

  int32_t RunStep(const Step& s, int64_t total) {
    switch (s.kind) {
      case StepKind::kSell:
        return Output(fp_.PrintRecItem(s.description, Money(s.amount), 1000, s.vat,
                                       control::Currency(0), ""));
      case StepKind::kVoidItem:
        return Output(fp_.PrintRecItemVoid(s.description, Money(s.amount), 1000, s.vat,
                                           control::Currency(0), ""));
      case StepKind::kItemDiscount:
        return Output(fp_.PrintRecItemAdjustment(opos::FPTR_AT_AMOUNT_DISCOUNT, s.description,
                                                 Money(s.amount), s.vat));
      case StepKind::kItemSurcharge:
        return Output(fp_.PrintRecItemAdjustment(opos::FPTR_AT_AMOUNT_SURCHARGE, s.description,
                                                 Money(s.amount), s.vat));
      case StepKind::kRefund:
        return Output(fp_.PrintRecRefund(s.description, Money(s.amount), s.vat));
      case StepKind::kSubtotal:
        return Output(fp_.PrintRecSubtotal(control::Currency(0)));
      case StepKind::kSubtotalDiscount:
        return Output(fp_.PrintRecSubtotalAdjustment(opos::FPTR_AT_AMOUNT_DISCOUNT, s.description,
                                                     Money(s.amount)));
      case StepKind::kPayment:
        return Output(fp_.PrintRecTotal(Money(total), Money(s.amount),
                                        std::to_string(s.form) + ">" + s.description));
    }
    return -1;
  }

  // Waits until every queued output has completed or was dropped and State is idle. An
  // output queued at the very moment of a clear is never announced; a queue seen idle for
  // kQuietMs with nothing more happening counts as drained. False on the time limit.
  bool WaitIdle() {
    if (!async_) return true;
    const auto end = std::chrono::steady_clock::now() + kDrainLimit;
    auto idle_since = std::chrono::steady_clock::time_point();
    while (std::chrono::steady_clock::now() < end) {
      const bool idle = fp_.State() == opos::OPOS_S_IDLE;
      if (idle && events_.Settled()) return true;
      const auto now = std::chrono::steady_clock::now();
      if (!idle) {
        idle_since = {};
      } else if (idle_since == std::chrono::steady_clock::time_point()) {
        idle_since = now;
      } else if (now - idle_since > std::chrono::milliseconds(kQuietMs)) {
        events_.DropPending();
        return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    stalled_ = "the asynchronous queue did not drain within 60 s (State " +
               std::to_string(fp_.State()) + ", OutputID " + std::to_string(fp_.OutputID()) + ", " +
               std::to_string(events_.output_complete()) + " OutputCompleteEvents, " +
               std::to_string(events_.errors()) + " ErrorEvents so far)";
    return false;
  }
  const std::string& stalled() const { return stalled_; }

  // After a failure: void whatever receipt is open. kUnknown when the printer shows no
  // receipt open before the soak voided anything -- it may have been ended or voided, and
  // only the journal can tell.
  ReceiptRecord::End VoidOpenReceipt() {
    for (int round = 0; round < kRecoveryRounds && stalled_.empty(); ++round) {
      if (async_ && !WaitIdle()) continue;
      if (fp_.PrinterState() == kPrinterStateMonitor) return ReceiptRecord::End::kUnknown;
      if (Output(fp_.PrintRecVoid("VOID")) == opos::OPOS_SUCCESS) {
        const int32_t void_id = fp_.OutputID();
        if (async_ && !WaitIdle()) continue;
        // Queued, the void has only been done once its OutputCompleteEvent came.
        if (async_ && !events_.Completed(void_id)) continue;
        if (fp_.PrinterState() == kPrinterStateMonitor ||
            Call(fp_.EndFiscalReceipt(false)) == opos::OPOS_SUCCESS) {
          if (async_) WaitIdle();
          return ReceiptRecord::End::kVoided;
        }
      }
    }
    return ReceiptRecord::End::kLeftOpen;
  }

  ReceiptRecord RunReceipt(const ReceiptPlan& plan) {
    ReceiptRecord rec;
    rec.plan = plan;
    rec.steps.assign(plan.steps.size(), StepOutcome::kNotSent);
    if (Call(fp_.BeginFiscalReceipt(false)) != opos::OPOS_SUCCESS) {
      rec.failed = true;
      if (fp_.PrinterState() == kPrinterStateMonitor) return rec;
      rec.end = VoidOpenReceipt();
      return rec;
    }
    // Asynchronous: the OutputID of each queued step, judged once the queue has drained.
    std::vector<int32_t> ids(plan.steps.size(), 0);
    bool stopped = false;
    for (size_t i = 0; i < plan.steps.size() && !stopped; ++i) {
      const int32_t r = RunStep(plan.steps[i], plan.total);
      if (async_) {
        if (r == opos::OPOS_SUCCESS) {
          ids[i] = fp_.OutputID();
        } else {
          rec.steps[i] = StepOutcome::kFailed;
          stopped = true;
        }
        continue;
      }
      rec.steps[i] = r == opos::OPOS_SUCCESS ? StepOutcome::kDone : StepOutcome::kFailed;
      stopped = r != opos::OPOS_SUCCESS;
    }
    if (async_) {
      // The synchronous end waits for the queue: judge every queued step first.
      if (!WaitIdle()) stopped = true;
      for (size_t i = 0; i < ids.size(); ++i) {
        if (ids[i] == 0) continue;
        if (events_.Completed(ids[i])) {
          rec.steps[i] = StepOutcome::kDone;
        } else {
          // Cleared after its ErrorEvents (it may have been done: a failure), or dropped
          // with the queue by that clear (never run: nothing of it may be on the journal).
          rec.steps[i] = events_.Cleared(ids[i]) ? StepOutcome::kFailed : StepOutcome::kNotSent;
          stopped = true;
        }
      }
    }
    if (!stopped && plan.void_on_purpose) {
      stopped = Output(fp_.PrintRecVoid("VOID")) != opos::OPOS_SUCCESS;
      if (!stopped && async_) stopped = !WaitIdle() || !events_.Completed(fp_.OutputID());
    }
    if (!stopped) stopped = Call(fp_.EndFiscalReceipt(false)) != opos::OPOS_SUCCESS;
    for (StepOutcome o : rec.steps) rec.failed = rec.failed || o == StepOutcome::kFailed;
    if (!stopped) {
      rec.end = plan.void_on_purpose ? ReceiptRecord::End::kVoided : ReceiptRecord::End::kClosed;
      return rec;
    }
    rec.failed = true;
    if (fp_.PrinterState() == kPrinterStateMonitor) {
      // Nothing open any more although the end was not confirmed: only the journal can tell.
      rec.end = ReceiptRecord::End::kUnknown;
      return rec;
    }
    rec.end = VoidOpenReceipt();
    return rec;
  }

 private:
  control::FiscalPrinter& fp_;
  JobOutcome& out_;
  const bool async_;
  EventLog& events_;
  std::string stalled_;  // why the run cannot go on
};

}  // namespace

JobOutcome RunServiceJob(const SoakOptions& options, int32_t job, int32_t count) {
  JobOutcome out;
  kelo::testing::ScaledClock clock(options.time_scale);
  std::unique_ptr<sim::Simulator> started;
  if (!StartJobSimulator(options, job, clock, &started, &out)) return out;
  sim::Simulator& simulator = *started;
  std::string error;

  // The device key of this job in the run's configuration file ($OPOS_REGISTRY, set up and
  // registered by RunSoak before the jobs start).
  const std::string name = "KeloFPU" + std::to_string(job);
  platform::ConfigStore store;
  if (!store.Update(
          [&](platform::RegistryData& data) {
            platform::RegKey& key = data.CreateKey(DeviceKey(name));
            key.Set("", platform::RegValue::String("soKeloFPU.KeloFPU"));
            key.Set("Port", platform::RegValue::String(simulator.slave_path()));
            key.Set("BaudRate", platform::RegValue::Dword(38400));
            key.Set("LogEnabled",
                    platform::RegValue::Dword(std::getenv("KELO_SOAK_TRACE") ? 1 : 0));
            if (const char* dir = std::getenv("KELO_SOAK_TRACE")) {
              key.Set("LogPath", platform::RegValue::String(dir));
            }
          },
          &error)) {
    out.setup_error = "configuration: " + error;
    return out;
  }

  EventLog events;
  control::FiscalPrinterOptions fp_options;
  fp_options.registry_file = store.file();
  control::FiscalPrinter fp(fp_options);
  fp.SetOutputCompleteHandler([&events](int32_t id) { events.OnOutputComplete(id); });
  // Handlers run on the service object's delivery thread: they touch only the log.
  fp.SetErrorHandler(
      [&events](int32_t, int32_t, int32_t, int32_t& response) { response = events.OnError(); });
  int32_t r = fp.Open(name);
  if (r == opos::OPOS_SUCCESS) r = fp.ClaimDevice(10000);
  if (r != opos::OPOS_SUCCESS) {
    out.setup_error = "open/claim " + name + ": " + std::to_string(r) + " " + fp.ErrorString();
    return out;
  }
  fp.SetDeviceEnabled(true);
  const bool async = options.mode == SoakMode::kAsync;
  fp.SetAsyncMode(async);

  PlanOptions plan_options;
  plan_options.job = job;
  plan_options.vat_rates = std::max(1, std::min(fp.NumVatRates(), 4));
  plan_options.payment_forms = 4;
  std::mt19937_64 rng(options.seed * 1000003 + static_cast<uint64_t>(job));
  ServiceDriver driver(fp, out, async, events);
  for (int32_t i = 0; i < count; ++i) {
    ReceiptPlan plan = MakeReceipt(rng, i + 1, plan_options);
    out.planned.Add(plan);
    out.records.push_back(driver.RunReceipt(plan));
    if (!driver.stalled().empty()) {
      out.run_error = driver.stalled();
      break;
    }
  }
  out.events_output_complete = events.output_complete();
  out.events_error = events.errors();
  out.event_order_violations = events.order_violations();
  fp.SetDeviceEnabled(false);
  const int32_t released = fp.ReleaseDevice();
  const int32_t closed = fp.Close();
  if (out.run_error.empty() && (released != opos::OPOS_SUCCESS || closed != opos::OPOS_SUCCESS)) {
    out.run_error =
        "release or close failed: " + std::to_string(released) + ", " + std::to_string(closed);
  }

  DayCounters counters;
  counters.gross = simulator.DataItem(2);
  counters.fiscal_receipts = simulator.DataItem(20);
  counters.voided_receipts = simulator.DataItem(6);
  out.faults = simulator.fault_counters();
  out.exchanges = simulator.exchange_counters();
  out.audit = AuditReceipts(out.records, simulator.Journal(), counters);
  simulator.Stop();
  return out;
}

}  // namespace kelo::soak
