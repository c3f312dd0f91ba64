#include "device/device_unit.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "device/fpu_fiscal_device.h"
#include "link/fpu_frame.h"
#include "opos/opos_constants.h"

namespace kelo::device {

using namespace opos;

namespace {

constexpr uint32_t kInfinite = 0xFFFFFFFFu;

// Steps of niceness the worker thread takes above the process's other threads: the highest
// of the normal (non-real-time) priorities a service thread asks for.
constexpr int kWorkerNiceBoost = 2;

// Raises the calling thread's priority by kWorkerNiceBoost. Every synchronous method waits for
// the worker and every queued command runs on it, so on a busy machine each delay in waking it
// adds to the method's time. Lowering niceness needs the right to do so (CAP_SYS_NICE or a
// nice limit, RLIMIT_NICE); without it the thread keeps the normal priority, which costs only
// latency, so a refusal is traced and otherwise ignored.
bool RaiseWorkerPriority() {
  const pid_t tid = gettid();
  errno = 0;
  const int nice_now = getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
  if (nice_now == -1 && errno != 0) return false;
  return setpriority(PRIO_PROCESS, static_cast<id_t>(tid), nice_now - kWorkerNiceBoost) == 0;
}

DeviceResult NoWorker() {
  return {OPOS_E_FAILURE, 0, kNoWorkerText};
}

}  // namespace

DeviceUnit::DeviceUnit(UnitHost& host, platform::Clock& clock)
    : DeviceUnit(host, std::make_unique<FpuFiscalDevice>(clock), clock) {}

DeviceUnit::DeviceUnit(UnitHost& host, std::unique_ptr<FiscalDevice> device, platform::Clock& clock)
    : host_(host), clock_(clock), device_(std::move(device)), ops_(*device_, host) {
  // ---- DirectIO ----
  // SETPOLLINGTIME changes the periods of this unit's worker; -1 keeps a period.
  ops_.SetPollingTimesHandler([this](int32_t polling, int32_t after_sync, int32_t after_async) {
    const PollingTimes now = polling_times();
    auto pick = [](int32_t value, uint32_t current) {
      return value == -1 ? current : static_cast<uint32_t>(value);
    };
    SetPollingTimes(pick(polling, now.polling), pick(after_sync, now.after_sync),
                    pick(after_async, now.after_async));
  });
}

DeviceUnit::~DeviceUnit() {
  Disconnect();
  // A worker that outlived the bounded wait is still inside a printer exchange or an error
  // event; it uses this object, so it must end before the object goes. It ends as soon as
  // that exchange does (the link's own deadlines bound it).
  if (worker_.joinable()) worker_.join();
}

void DeviceUnit::AttachPort(link::SerialPort* port) {
  device_->AttachPort(port);
}

bool DeviceUnit::OnWorkerThread() const {
  return worker_id_.load() == std::this_thread::get_id();
}

bool DeviceUnit::connected() const {
  std::lock_guard<std::mutex> lock(mu_);
  return worker_alive_ && !stop_ && online_.load();
}

// ---- Connection ---------------------------------------------------------------------------

DeviceResult DeviceUnit::Connect(int32_t timeout_ms, const std::function<bool()>& give_up) {
  if (worker_.joinable()) {
    // A worker from an earlier connection: stop it and wait for it; it must not share the
    // device with a new one.
    StopWorker(false);
  }
  {
    std::lock_guard<std::mutex> lock(mu_);
    stop_ = false;
    queue_signal_ = false;
    sync_request_ = false;
    sync_pending_ = false;
    sync_done_ = false;
    worker_alive_ = true;
  }
  online_ = false;
  std::fill(std::begin(last_sensor_), std::end(last_sensor_), -1);
  away_ = false;
  port_gone_ = false;
  reopen_wait_ms_ = 0;
  device_->CancelExchanges(false);
  worker_ = std::thread(&DeviceUnit::WorkerMain, this);

  const uint32_t start = clock_.TickMs();
  while (!online_.load()) {
    if ((give_up && give_up()) ||
        (timeout_ms != OPOS_FOREVER &&
         platform::TicksSince(start, clock_.TickMs()) >= static_cast<uint32_t>(timeout_ms))) {
      StopWorker(true);
      return {OPOS_E_NOHARDWARE, 0, "Device not found"};
    }
    clock_.SleepMs(kConnectStepMs);
  }

  std::string model;
  if (device_->ReadModelName(&model) != 0) {
    StopWorker(true);
    return {OPOS_E_NOHARDWARE, 0, "Unsupported or older device"};
  }
  std::string firmware;
  device_->ReadFirmwareText(&firmware);
  if (!device_->CopyStatus().AnyAttentionWord()) device_->SetDeviceFlag(0);
  if (model == "Vantrix EJ") {
    StopWorker(true);
    return {OPOS_E_NOHARDWARE, 0, "Unsupported device"};
  }
  return {};
}

void DeviceUnit::Disconnect() {
  StopWorker(true);
}

void DeviceUnit::StopWorker(bool bounded) {
  {
    std::lock_guard<std::mutex> lock(mu_);
    stop_ = true;
  }
  worker_cv_.notify_all();
  if (!worker_.joinable() || OnWorkerThread()) return;  // a thread cannot join itself
  // A worker inside an exchange with a silent printer would otherwise finish its three
  // receive time-outs (about 9 s) before it sees the stop.
  device_->CancelExchanges(true);
  if (bounded) {
    // Bounded on the unit's clock and, so that a stopped virtual clock cannot make it
    // endless, on real time as well.
    const uint32_t start = clock_.TickMs();
    const auto real_end =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kWorkerStopWaitMs);
    std::unique_lock<std::mutex> lock(mu_);
    while (worker_alive_) {
      if (platform::TicksSince(start, clock_.TickMs()) >= kWorkerStopWaitMs ||
          std::chrono::steady_clock::now() >= real_end) {
        break;
      }
      caller_cv_.wait_for(lock, std::chrono::milliseconds(10));
    }
    if (worker_alive_) {
      lock.unlock();
      host_.Trace(2, "DeviceUnit::Disconnect: worker thread still busy after 10000 ms\n");
      return;  // joined by the next Connect or the destructor
    }
  }
  worker_.join();
  worker_id_ = std::thread::id();
}

// ---- Worker thread ------------------------------------------------------------------------

DeviceUnit::Wake DeviceUnit::WaitForWork(uint32_t period_ms) {
  std::unique_lock<std::mutex> lock(mu_);
  const uint32_t start = clock_.TickMs();
  for (;;) {
    if (stop_) return Wake::kStop;
    if (queue_signal_) {
      queue_signal_ = false;
      return Wake::kQueue;
    }
    if (sync_request_) {
      sync_request_ = false;
      return Wake::kSync;
    }
    if (periods_changed_) {
      periods_changed_ = false;
      return Wake::kReconfigured;
    }
    uint32_t remaining = kInfinite;
    if (period_ms != kInfinite) {
      const uint32_t elapsed = platform::TicksSince(start, clock_.TickMs());
      if (elapsed >= period_ms) return Wake::kNone;
      remaining = period_ms - elapsed;
    }
    const uint32_t slice = std::min(remaining, wait_slice_ms_.load());
    ++idle_waits_;
    if (slice == kInfinite) {
      worker_cv_.wait(lock);
    } else {
      worker_cv_.wait_for(lock, std::chrono::milliseconds(slice));
    }
  }
}

void DeviceUnit::WorkerMain() {
  worker_id_ = std::this_thread::get_id();
  if (!RaiseWorkerPriority()) {
    host_.Trace(2, "DeviceUnit: worker thread keeps the normal priority\n");
  }
  // A silent printer makes Open fail its firmware read; the probing below waits for it.
  device_->Open();
  queue_.SetNotifier([this] {
    {
      std::lock_guard<std::mutex> lock(mu_);
      queue_signal_ = true;
    }
    worker_cv_.notify_all();
  });

  enum class Last { kNone, kSync, kQueue } last = Last::kNone;
  bool online = false;
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(mu_);
      if (stop_) break;
    }
    if (!online) {
      // A port that died before the printer first answered is reopened here too.
      if (device_->LinkLost()) device_->ReopenLink();
      if (device_->Probe() == link::LINK_E_TIMEOUT) {
        // Only a stop ends this pause early; work waits for the printer.
        const uint32_t start = clock_.TickMs();
        std::unique_lock<std::mutex> lock(mu_);
        while (!stop_ && platform::TicksSince(start, clock_.TickMs()) < kProbeRetryMs) {
          worker_cv_.wait_for(lock, std::chrono::milliseconds(
                                        std::min<uint32_t>(kProbeRetryMs, wait_slice_ms_.load())));
        }
        continue;
      }
      online = true;
      device_->PrinterAnswered();
      // Output queued before the printer ever answered belongs to no session it knows.
      ClearQueue();
      online_ = true;
      continue;
    }

    uint32_t period;
    if (!TryReopen()) {
      // The port is gone: calls fail at once meanwhile (the link answers 106 without
      // waiting), queued output raises its ErrorEvent, and the next attempt follows the
      // back-off or the next call, whichever comes first.
      period = NextReopenWait();
    } else if (after_sync_ != 0 && last == Last::kSync) {
      period = after_sync_;
    } else if (after_async_ != 0 && last == Last::kQueue) {
      period = after_async_;
    } else {
      period = polling_ == 0 ? kInfinite : polling_.load();
    }
    last = Last::kNone;

    switch (WaitForWork(period)) {
      case Wake::kStop:
      case Wake::kReconfigured:
        break;
      case Wake::kSync:
        last = Last::kSync;
        TryReopen();  // a printer that is back serves this very call
        RunSyncCommand();
        break;
      case Wake::kQueue:
        last = Last::kQueue;
        TryReopen();
        DrainQueue();
        break;
      case Wake::kNone:
        if (!port_gone_) PollPrinter();
        break;
    }
  }

  queue_.SetNotifier(nullptr);
  {
    // A caller still waiting in the synchronous slot gets a clear failure, not a hang.
    std::lock_guard<std::mutex> lock(mu_);
    if (sync_pending_) {
      sync_result_ = NoWorker();
      sync_pending_ = false;
      sync_done_ = true;
    }
  }
  caller_cv_.notify_all();
  device_->Close();
  {
    std::lock_guard<std::mutex> lock(mu_);
    worker_alive_ = false;
  }
  caller_cv_.notify_all();
}

bool DeviceUnit::TryReopen() {
  if (!device_->LinkLost()) return true;
  if (!port_gone_) {
    port_gone_ = true;
    reopen_wait_ms_ = 0;
    host_.Trace(2, "DeviceUnit: the serial port is gone; reopening it\n");
    // The printer cannot be reached: PrinterState shows it at once (the probe answers 106
    // without waiting on a dead port).
    ReadPrinterState();
    away_ = true;
  }
  if (device_->ReopenLink() != 0) return false;
  port_gone_ = false;
  reopen_wait_ms_ = 0;
  const std::string peer = device_->LinkPeer();
  host_.Trace(2, peer.empty() ? std::string("DeviceUnit: serial port reopened\n")
                              : "DeviceUnit: serial port reopened, connected to " + peer + "\n");
  PollPrinter();
  return true;
}

uint32_t DeviceUnit::NextReopenWait() {
  // Half a polling period at most, so that the attempt after the printer's return, with
  // the poll that follows it, still falls within one polling period.
  uint32_t cap = kReopenMaxMs;
  if (polling_ != 0) cap = std::min(cap, polling_.load() / 2);
  reopen_wait_ms_ = reopen_wait_ms_ == 0 ? kReopenFirstMs : reopen_wait_ms_ * 2;
  reopen_wait_ms_ = std::min(std::max(reopen_wait_ms_, 1u), std::max(cap, 1u));
  return reopen_wait_ms_;
}

void DeviceUnit::PollPrinter() {
  ReadPrinterState();
  const DeviceStatusBlock b = device_->CopyStatus();
  if (!b.online()) {
    away_ = true;
  } else if (away_) {
    away_ = false;
    // Back after a time without answers: whatever the sensors were, they are reported
    // again as on the first poll, and the printer's receipt state is already the unit's
    // (ReadPrinterState). A guarded line of a receipt the printer no longer holds (it was
    // restarted) cannot be found done any more.
    std::fill(std::begin(last_sensor_), std::end(last_sensor_), -1);
    if (b[DeviceStatusBlock::kReceiptOpen] == 0) device_->ForgetPendingLine();
    host_.Trace(2, "DeviceUnit: the printer answers again\n");
  }
  RaiseStatusUpdates();
}

void DeviceUnit::RunSyncCommand() {
  // The caller does not touch the slot while sync_pending_ is set, so it runs unlocked.
  DeviceResult result = sync_command_.Run();
  RaiseStatusUpdates();
  {
    std::lock_guard<std::mutex> lock(mu_);
    sync_result_ = std::move(result);
    sync_pending_ = false;
    sync_done_ = true;
  }
  caller_cv_.notify_all();
}

void DeviceUnit::EnterIdleLocked() {
  host_.SetState(OPOS_S_IDLE);
  if (host_.ClaimIdleEvent()) host_.RaiseStatusUpdate(FPTR_SUE_IDLE);
}

void DeviceUnit::DrainQueue() {
  auto stopping = [this] {
    std::lock_guard<std::mutex> lock(mu_);
    return stop_;
  };
  {
    std::lock_guard<std::mutex> lock(output_mu_);
    draining_ = true;
  }
  // Queued sales can be answered with retry after an ErrorEvent: guard their lines so a
  // retry after lost answers does not sell again.
  device_->ArmReceiptGuard(true);
  for (;;) {
    {
      // Idle only with nothing left: output queued meanwhile keeps the drain (and State
      // busy) going without a moment of idle in between.
      std::lock_guard<std::mutex> lock(output_mu_);
      if (queue_.IsEmpty() || stopping()) {
        draining_ = false;
        EnterIdleLocked();
        break;
      }
    }
    host_.SetState(OPOS_S_BUSY);
    int32_t response = OPOS_ER_CLEAR;
    bool failed = false;
    bool ran = true;
    device_->NewGuardedCommand();
    for (;;) {
      int32_t output_id = 0;
      DeviceResult result;
      if (queue_.RunOldest(&output_id, &result) != 0) {
        ran = false;  // emptied by ClearOutput meanwhile
        break;
      }
      RaiseStatusUpdates();
      if (result.ok()) {
        failed = false;
        host_.RaiseOutputComplete(output_id);
        break;
      }
      failed = true;
      ReadPrinterState();
      const DeviceStatusBlock block = device_->CopyStatus();
      host_.SetNumberProperty(PIDX_ErrorLevel,
                              block.AnyErrorWord() ? FPTR_EL_BLOCKED : FPTR_EL_RECOVERABLE);
      host_.SetNumberProperty(PIDX_ErrorState, host_.GetNumberProperty(PIDX_PrinterState));
      host_.SetNumberProperty(PIDX_ErrorOutID, output_id);
      host_.SetNumberProperty(PIDX_ErrorStation, FPTR_S_RECEIPT);
      host_.SetState(OPOS_S_ERROR);
      response = host_.RaiseError(result.code, result.extended, OPOS_EL_OUTPUT, OPOS_ER_CLEAR);
      if (response != OPOS_ER_RETRY || stopping()) break;
      if (!TryReopen()) {
        // Retrying on a dead port would fail at once and raise the next ErrorEvent at
        // once: the retry waits for the next reopen attempt first (a stop ends the wait).
        const uint32_t wait = NextReopenWait();
        const uint32_t start = clock_.TickMs();
        std::unique_lock<std::mutex> lock(mu_);
        while (!stop_ && platform::TicksSince(start, clock_.TickMs()) < wait) {
          worker_cv_.wait_for(lock,
                              std::chrono::milliseconds(std::min(wait, wait_slice_ms_.load())));
        }
        lock.unlock();
        if (stopping()) break;
        TryReopen();
      }
      host_.SetState(OPOS_S_BUSY);
    }
    if (ran) {
      queue_.RemoveOldest();
      if (failed && response == OPOS_ER_CLEAR) queue_.Clear();
    }
  }
  device_->ArmReceiptGuard(false);
}

// ---- Status -------------------------------------------------------------------------------

DeviceResult DeviceUnit::ReadPrinterState() {
  device_->Probe();
  const DeviceStatusBlock b = device_->CopyStatus();
  if (!b.online()) {
    host_.SetNumberProperty(PIDX_PrinterState, FPTR_PS_LOCKED);
    return {};
  }
  const int32_t phase = b[DeviceStatusBlock::kDocumentPhase];
  int32_t state;
  if (b.AnyErrorWord()) {
    state = FPTR_PS_LOCKED;
  } else if (b[DeviceStatusBlock::kReceiptOpen] != 0) {
    state = FPTR_PS_FISCAL_RECEIPT;
    if (phase == 6 || phase == 7) state = FPTR_PS_FISCAL_RECEIPT_TOTAL;
    if (phase == 8 || phase == 9) state = FPTR_PS_FISCAL_RECEIPT_ENDING;
  } else if (b[DeviceStatusBlock::kNonFiscalOpen] != 0) {
    state = FPTR_PS_NONFISCAL;
  } else {
    state = FPTR_PS_MONITOR;
    if (phase == 8) state = FPTR_PS_FISCAL_RECEIPT_TOTAL;
    if (phase == 9) state = FPTR_PS_FISCAL_RECEIPT_ENDING;
  }
  host_.SetNumberProperty(PIDX_PrinterState, state);
  host_.SetNumberProperty(PIDX_TrainingModeActive, b[DeviceStatusBlock::kTrainingMode] != 0);
  host_.SetNumberProperty(PIDX_DayOpened, b[DeviceStatusBlock::kDayOpened]);
  return {};
}

void DeviceUnit::RaiseStatusUpdates() {
  const DeviceStatusBlock b = device_->CopyStatus();
  const bool cover = b[DeviceStatusBlock::kCoverOpen] != 0;
  const bool jrn_empty = b[DeviceStatusBlock::kJournalEmpty] != 0;
  const bool jrn_near = b[DeviceStatusBlock::kJournalNearEnd] != 0;
  const bool rec_empty = b[DeviceStatusBlock::kReceiptEmpty] != 0;
  const bool rec_near = b[DeviceStatusBlock::kReceiptNearEnd] != 0;
  host_.SetNumberProperty(PIDX_CoverOpen, cover);
  host_.SetNumberProperty(PIDX_JrnEmpty, jrn_empty);
  host_.SetNumberProperty(PIDX_JrnNearEnd, jrn_near);
  host_.SetNumberProperty(PIDX_RecEmpty, rec_empty);
  host_.SetNumberProperty(PIDX_RecNearEnd, rec_near);
  const int32_t now[4] = {
      cover ? FPTR_SUE_COVER_OPEN : FPTR_SUE_COVER_OK,
      jrn_near ? FPTR_SUE_JRN_NEAREMPTY : FPTR_SUE_JRN_PAPEROK,
      jrn_empty ? FPTR_SUE_JRN_EMPTY : FPTR_SUE_JRN_NOT_EMPTY,
      rec_empty ? FPTR_SUE_REC_EMPTY : (rec_near ? FPTR_SUE_REC_NEAREMPTY : FPTR_SUE_REC_PAPEROK),
  };
  for (int i = 0; i < 4; ++i) {
    if (now[i] != last_sensor_[i]) host_.RaiseStatusUpdate(now[i]);
    last_sensor_[i] = now[i];
  }
}

DeviceStatusBlock DeviceUnit::CopyStatus() {
  return device_->CopyStatus();
}

DeviceResult DeviceUnit::ReadVatTable() {
  const int32_t count = std::clamp(host_.GetNumberProperty(PIDX_NumVatRates), 0, 100);
  for (int32_t id = 1; id <= count; ++id) {
    int32_t rate = 0;
    const int32_t r = device_->ReadVatRate(id, &rate);
    if (r != 0) return ops_.Mapped(r);
    host_.SetVatTableEntry(id, rate);
  }
  return {};
}

bool DeviceUnit::ReadConfiguration(ConfigRecord* out) {
  ConfigRecord record;
  if (device_->ReadConfiguration(&record) != 0 || !record.valid) return false;
  if (out) *out = record;
  return true;
}

DeviceResult DeviceUnit::WriteVatTable(const std::vector<int32_t>& rates) {
  return ops_.Mapped(device_->WriteVatTable(rates));
}

DeviceResult DeviceUnit::ReadModelName(std::string* name) {
  return ops_.Mapped(device_->ReadModelName(name));
}

DeviceResult DeviceUnit::ReadPrinterId(std::string* text) {
  return ops_.Mapped(device_->ReadPrinterId(text));
}

DeviceResult DeviceUnit::VerifyVatInfo(int32_t vat_info, bool item_sale) {
  return ops_.VerifyVatInfo(vat_info, item_sale);
}

// ---- Execution ----------------------------------------------------------------------------

DeviceResult DeviceUnit::RunDeviceOp(DeviceOp op, const std::string& input, std::string& output,
                                     int32_t output_id) {
  if (host_.GetNumberProperty(PIDX_AsyncMode) == 1) return QueueDeviceOp(op, input, output_id);
  return RunDeviceOpSync(op, input, output, output_id);
}

DeviceResult DeviceUnit::RunDeviceOpSync(DeviceOp op, const std::string& input, std::string& output,
                                         int32_t output_id) {
  if (OnWorkerThread()) {
    // Reached from inside a running operation or event: run in place, the worker is here.
    DeviceCommand command(op, &ops_, input, output_id);
    DeviceResult r = command.Run();
    output = command.output();
    return r;
  }
  if (!queue_.IsEmpty()) return {OPOS_E_BUSY, 0, "Asynchronous output is in progress"};
  std::lock_guard<std::mutex> call(sync_call_mu_);
  std::unique_lock<std::mutex> lock(mu_);
  if (!worker_alive_ || stop_) return NoWorker();
  sync_command_.Set(op, &ops_, input, output_id);
  sync_done_ = false;
  sync_pending_ = true;
  sync_request_ = true;
  // Wake the worker with the hand-over lock released: woken under it, the worker would run
  // straight into the held lock and sleep again until this thread waits (two extra switches
  // on every call).
  lock.unlock();
  worker_cv_.notify_one();
  lock.lock();
  caller_cv_.wait(lock, [this] { return sync_done_ || !worker_alive_; });
  if (!sync_done_) {
    sync_pending_ = false;
    sync_request_ = false;
    return NoWorker();
  }
  sync_done_ = false;
  output = sync_command_.output();
  return sync_result_;
}

DeviceResult DeviceUnit::RunDeviceOpSyncNoOutput(DeviceOp op, const std::string& input,
                                                 int32_t output_id) {
  std::string scratch;
  return RunDeviceOpSync(op, input, scratch, output_id);
}

DeviceResult DeviceUnit::QueueDeviceOp(DeviceOp op, const std::string& input, int32_t output_id) {
  {
    std::lock_guard<std::mutex> lock(mu_);
    if (!worker_alive_ || stop_) return NoWorker();
  }
  std::lock_guard<std::mutex> lock(output_mu_);
  queue_.Enqueue(op, &ops_, input, output_id);
  // Busy from now until the worker has run it (an ErrorEvent being delivered keeps its
  // State).
  if (host_.GetState() == OPOS_S_IDLE) host_.SetState(OPOS_S_BUSY);
  return {};
}

void DeviceUnit::ClearQueue() {
  std::lock_guard<std::mutex> lock(output_mu_);
  queue_.Clear();
  if (!draining_ && host_.GetState() == OPOS_S_BUSY) EnterIdleLocked();
}

bool DeviceUnit::QueueEmpty() const {
  return queue_.IsEmpty();
}

void DeviceUnit::SetPollingTimes(uint32_t polling, uint32_t after_sync, uint32_t after_async) {
  polling_ = polling;
  after_sync_ = after_sync;
  after_async_ = after_async;
  {
    std::lock_guard<std::mutex> lock(mu_);
    periods_changed_ = true;
  }
  worker_cv_.notify_all();
}

PollingTimes DeviceUnit::polling_times() const {
  return {polling_.load(), after_sync_.load(), after_async_.load()};
}

}  // namespace kelo::device
