// The link-level soak job: receipts straight through FpuProtocol, as the device layer drives
// it, and the recovery a careful caller makes after a reported failure (look at the printer,
// void what is open) -- never a silent second send of a command that may have been done.
#include <string>

#include "link/fpu_protocol.h"
#include "link/serial_port.h"
#include "simulator/simulator.h"
#include "testing/scaled_clock.h"
#include "tests/soak/soak_runner.h"

namespace kelo::soak {
namespace {

constexpr uint32_t kReceiptOpenFlag = 1u << 1;  // status query, field 2
constexpr int kRecoveryRounds = 6;

class LinkDriver {
 public:
  LinkDriver(link::FpuProtocol& proto, JobOutcome& out) : proto_(proto), out_(out) {}

  int32_t Call(int32_t result) {
    out_.commands++;
    if (result != link::LINK_OK) {
      out_.failures++;
      out_.failures_by_code["link " + std::to_string(result)]++;
    }
    return result;
  }

  int32_t RunStep(const Step& s) {
    switch (s.kind) {
      case StepKind::kSell:
        return Call(proto_.SellItem(s.description, s.amount, 1, s.vat, 0, 0));
      case StepKind::kVoidItem:
        return Call(proto_.VoidItem(s.description, s.amount, 1, s.vat, 0));
      case StepKind::kItemDiscount:
        return Call(proto_.ItemAdjustment(s.description, s.amount, 10, s.vat, 0));
      case StepKind::kItemSurcharge:
        return Call(proto_.ItemAdjustment(s.description, s.amount, 11, s.vat, 0));
      case StepKind::kRefund:
        return Call(proto_.Refund(s.description, s.amount, s.vat, 0));
      case StepKind::kSubtotal:
        return Call(proto_.Subtotal(0));
      case StepKind::kSubtotalDiscount:
        return Call(proto_.SubtotalAdjustment(s.description, s.amount, 10));
      case StepKind::kPayment:
        return Call(proto_.Payment(s.description, s.amount, s.form));
    }
    return link::LINK_E_PROTOCOL;
  }

  // Is a receipt open on the printer? -1 when the printer could not be asked.
  int ReceiptOpen() {
    link::FpuDateTime when;
    uint32_t flags = 0;
    int32_t phase = 0;
    if (Call(proto_.QueryStatus(&when, &flags, &phase)) != link::LINK_OK) return -1;
    return (flags & kReceiptOpenFlag) != 0 ? 1 : 0;
  }

  // After a failure: void whatever receipt is open. kUnknown when the printer shows no
  // receipt open before the soak voided anything (only the journal can tell what it was).
  ReceiptRecord::End VoidOpenReceipt() {
    for (int round = 0; round < kRecoveryRounds; ++round) {
      const int open = ReceiptOpen();
      if (open == 0) return ReceiptRecord::End::kUnknown;
      if (open < 0) continue;
      if (Call(proto_.VoidReceipt()) == link::LINK_OK) return ReceiptRecord::End::kVoided;
    }
    return ReceiptRecord::End::kLeftOpen;
  }

  ReceiptRecord RunReceipt(const ReceiptPlan& plan) {
    ReceiptRecord rec;
    rec.plan = plan;
    rec.steps.assign(plan.steps.size(), StepOutcome::kNotSent);
    if (Call(proto_.BeginFiscalReceipt()) != link::LINK_OK) {
      rec.failed = true;
      // The begin may have been done with its answer lost.
      const int open = ReceiptOpen();
      if (open == 0) return rec;  // kNotStarted
      rec.end = VoidOpenReceipt();
      return rec;
    }
    for (size_t i = 0; i < plan.steps.size(); ++i) {
      const bool ok = RunStep(plan.steps[i]) == link::LINK_OK;
      rec.steps[i] = ok ? StepOutcome::kDone : StepOutcome::kFailed;
      if (!ok) {
        rec.failed = true;
        rec.end = VoidOpenReceipt();
        return rec;
      }
    }
    if (plan.void_on_purpose) {
      if (Call(proto_.VoidReceipt()) == link::LINK_OK) {
        rec.end = ReceiptRecord::End::kVoided;
      } else {
        rec.failed = true;
        rec.end = VoidOpenReceipt();
      }
      return rec;
    }
    if (Call(proto_.EndPayment(plan.change)) != link::LINK_OK) {
      rec.failed = true;
      rec.end = VoidOpenReceipt();
      return rec;
    }
    if (Call(proto_.EndFiscalReceipt()) == link::LINK_OK) {
      rec.end = ReceiptRecord::End::kClosed;
      return rec;
    }
    rec.failed = true;
    // The end may have been done with its answer lost: then nothing is open any more and
    // only the journal can tell. Otherwise it was refused or never arrived: void it.
    const int open = ReceiptOpen();
    if (open == 0) {
      rec.end = ReceiptRecord::End::kUnknown;
    } else {
      rec.end = VoidOpenReceipt();
    }
    return rec;
  }

 private:
  link::FpuProtocol& proto_;
  JobOutcome& out_;
};

}  // namespace

JobOutcome RunLinkJob(const SoakOptions& options, int32_t job, int32_t count) {
  JobOutcome out;
  kelo::testing::ScaledClock clock(options.time_scale);
  std::unique_ptr<sim::Simulator> started;
  if (!StartJobSimulator(options, job, clock, &started, &out)) return out;
  sim::Simulator& simulator = *started;
  std::string error;
  link::SerialPort port(link::LinuxSerialOs(), clock);
  if (port.Open(simulator.slave_path()) != link::kPortOk) {
    out.setup_error = "cannot open " + simulator.slave_path();
    return out;
  }
  port.SetLine(38400, 8, link::kParityNone, link::kStopBitsOne);
  port.SetReadTimeouts(30);
  link::FpuProtocol proto(clock);
  proto.SetPort(&port);
  // Every frame written, resends included: the difference to the calls made is the number
  // of recoveries the exchange rules performed.
  uint64_t frames = 0;
  proto.SetTraceSink([&frames](std::string_view line) {
    if (line.rfind("CMD", 0) == 0) frames++;
  });
  proto.Start();

  // The fault spec is parsed again only to report errors early; the printer's limits come
  // from its profile.
  const sim::DeviceProfile profile = simulator.printer([](sim::Printer& p) { return p.profile(); });
  PlanOptions plan_options;
  plan_options.job = job;
  plan_options.vat_rates = profile.vat_rates;
  plan_options.payment_forms = std::min(profile.payment_forms, 4);
  std::mt19937_64 rng(options.seed * 1000003 + static_cast<uint64_t>(job));
  LinkDriver driver(proto, out);
  for (int32_t i = 0; i < count; ++i) {
    ReceiptPlan plan = MakeReceipt(rng, i + 1, plan_options);
    out.planned.Add(plan);
    out.records.push_back(driver.RunReceipt(plan));
    // The device layer polls between documents; so does the soak.
    driver.ReceiptOpen();
  }
  proto.Stop();
  proto.SetTraceSink(nullptr);
  out.frames_sent = frames;

  // The printer's view, without faults: read through the state lock, not the line.
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
