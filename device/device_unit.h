// The device layer of one service unit: the FiscalDevice, the device operations, and the
// execution layer that runs them (the worker thread with its polling, the synchronous slot
// and the asynchronous output queue).
//
// HOW THE SERVICE UNIT WIRES IN (CFiscalPrinterUnit owns one DeviceUnit and implements
// UnitHost, see unit_host.h):
//
//   OpenService     nothing. (ReadVatTable may be called once claimed.)
//   ClaimDevice     after opening the serial port (line settings applied):
//                     unit.AttachPort(&port);
//                     DeviceResult r = unit.Connect(timeout_ms);   // OPOS_FOREVER = -1
//                     if (!r.ok()) { unit.Disconnect(); close the port; State 4; report r; }
//                     ConfigRecord rec;
//                     if (unit.ReadConfiguration(&rec)) {
//                       NumVatRates = rec.num_vat_rates; MessageLength = rec.message_length;
//                       NumHeaderLines = rec.num_header_lines;
//                       NumTrailerLines = rec.num_trailer_lines; PredefinedPaymentLines = "";
//                     }
//                   and apply the configured polling periods with SetPollingTimes (they may
//                   be set before Connect as well).
//   DeviceEnabled=1 unit.ReadPrinterState();  (PrinterState, TrainingModeActive, DayOpened)
//   ClearOutput     unit.ClearQueue();  then tell event delivery to drop a pending error.
//   ReleaseDevice   unit.Disconnect();  then close the port. The port must stay open until
//                   Disconnect has returned.
//   Front ends      OutputID += 1, then
//                     RunDeviceOp(&DeviceOperations::DoPrintRecItem, text, out, OutputID)
//                   for the output methods (queued when AsyncMode is 1), or RunDeviceOpSync /
//                   RunDeviceOpSyncNoOutput for the others. A result with code != 0 is
//                   thrown as COposException(code, extended, text) by the front end.
//                   Item methods call VerifyVatInfo first (both modes) so a bad VatInfo is
//                   refused before anything is queued or sent.
//   setVatTable     WriteVatTable(first NumVatRates entries of the unit's VAT table).
//   CheckHealth(2)  ReadModelName / ReadPrinterId for the printed machine lines.
//   ~unit           the DeviceUnit destructor disconnects.
//
// Threads: Connect, Disconnect, ReadPrinterState, ReadVatTable, ReadConfiguration and the
// Read* helpers run on the caller's thread; every operation handed to RunDeviceOp* runs on
// the worker thread; events and State changes of queued output come from the worker thread.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "device/device_command.h"
#include "device/device_operations.h"
#include "device/device_result.h"
#include "device/fiscal_device.h"
#include "device/unit_host.h"
#include "link/serial_port.h"
#include "platform/os/clock.h"

namespace kelo::device {

// Text of the failure a call gets when no worker thread is running (never connected,
// disconnected, or the connection failed).
inline constexpr char kNoWorkerText[] = "The device is not connected";
// Bounded wait for the worker thread to end.
inline constexpr uint32_t kWorkerStopWaitMs = 10000;
// Pause between probes while the printer does not answer.
inline constexpr uint32_t kProbeRetryMs = 500;
// Pause between looks at the status block while Connect waits for the printer.
inline constexpr uint32_t kConnectStepMs = 5;
// Back-off between attempts to reopen a serial port whose descriptor died: the first
// attempt follows at once, then the pause doubles from kReopenFirstMs up to kReopenMaxMs
// (and never beyond half the PollingTime), so a printer that is back is found within one
// polling period.
inline constexpr uint32_t kReopenFirstMs = 50;
inline constexpr uint32_t kReopenMaxMs = 1000;

struct PollingTimes {
  uint32_t polling = 1000;     // PollingTime; 0 = no periodic poll
  uint32_t after_sync = 100;   // PollingTimeAfterSyncCmd; 0 = use PollingTime
  uint32_t after_async = 100;  // PollingTimeAfterAsyncQueue; 0 = use PollingTime
};

class DeviceUnit {
 public:
  // With a printer on a serial line (FpuFiscalDevice).
  explicit DeviceUnit(UnitHost& host, platform::Clock& clock = platform::SystemClock());
  // With any FiscalDevice (tests script one).
  DeviceUnit(UnitHost& host, std::unique_ptr<FiscalDevice> device,
             platform::Clock& clock = platform::SystemClock());
  ~DeviceUnit();  // Disconnect()
  DeviceUnit(const DeviceUnit&) = delete;
  DeviceUnit& operator=(const DeviceUnit&) = delete;

  // ---- Connection ----
  // The open port; not owned; must outlive the connection.
  void AttachPort(link::SerialPort* port);
  // Starts the worker thread and waits up to timeout_ms (-1: without limit) for the printer
  // to answer, then checks the model. 107 "Device not found", "Unsupported or older device"
  // or "Unsupported device" on failure; the worker is then already stopped again.
  // give_up, when given, is asked every few milliseconds while the printer does not answer
  // (from the calling thread); true ends the wait at once as "Device not found". It lets
  // another thread cut a claim short without touching this unit.
  DeviceResult Connect(int32_t timeout_ms, const std::function<bool()>& give_up = {});
  // Stops the worker thread: waits at most 10000 ms for it. A worker still inside a printer
  // exchange (or an error event) after that is joined by the next Connect or the destructor.
  void Disconnect();
  bool connected() const;

  // ---- Printer state and settings read on the caller's thread ----
  // Probe, then PrinterState, TrainingModeActive and DayOpened from the status block.
  DeviceResult ReadPrinterState();
  // Rates of VAT indexes 1 to NumVatRates into the unit's VAT table, stopping at the first
  // failure.
  DeviceResult ReadVatTable();
  // The printer's configuration record; false when it cannot be read.
  bool ReadConfiguration(ConfigRecord* out);
  DeviceResult WriteVatTable(const std::vector<int32_t>& rates);
  DeviceResult ReadModelName(std::string* name);
  DeviceResult ReadPrinterId(std::string* text);
  DeviceStatusBlock CopyStatus();

  // Accepts VatInfo 0 (default VAT index), 1 to NumVatRates (a VAT index the printer has),
  // 10001 to 10000 + the printer's department count (a department), and -1 only when
  // item_sale is true (printRecItem). Everything else, negative values and 10000 included,
  // gives 114/217 "The VAT information is invalid". When the configuration record could not
  // be read the printer's limits are unknown and only the negative values are refused.
  DeviceResult VerifyVatInfo(int32_t vat_info, bool item_sale);

  // ---- Execution ----
  // Queued when AsyncMode (property 16002) is 1, else synchronous.
  DeviceResult RunDeviceOp(DeviceOp op, const std::string& input, std::string& output,
                           int32_t output_id);
  // Runs op on the worker thread and waits for it. 113 "Asynchronous output is in progress"
  // while the queue holds work; 111 kNoWorkerText when no worker runs (or it stops while
  // the call waits).
  DeviceResult RunDeviceOpSync(DeviceOp op, const std::string& input, std::string& output,
                               int32_t output_id = 0);
  DeviceResult RunDeviceOpSyncNoOutput(DeviceOp op, const std::string& input,
                                       int32_t output_id = 0);
  // Queues op for the worker; 0 at once, or 111 kNoWorkerText when no worker runs.
  DeviceResult QueueDeviceOp(DeviceOp op, const std::string& input, int32_t output_id);
  // Discards every queued command; State goes idle at once unless a command is running
  // (the worker then makes it idle when that command ends).
  void ClearQueue();
  bool QueueEmpty() const;

  void SetPollingTimes(uint32_t polling, uint32_t after_sync, uint32_t after_async);
  PollingTimes polling_times() const;
  // Longest real-time stretch the worker waits before looking at the clock again. Tests on
  // virtual time set a few milliseconds so that advancing the clock ends the wait.
  void SetWaitSlice(uint32_t ms) { wait_slice_ms_ = ms; }
  // How many times the worker has looked at the clock and gone on waiting for work. Two more
  // than before an action means it has seen the action (a new period, a moved clock) and
  // is waiting again, with any poll that action caused done.
  uint64_t idle_waits() const { return idle_waits_.load(); }

  // Frame traffic of the protocol engine, one line per frame (see FiscalDevice).
  void SetLinkTrace(std::function<void(std::string_view line)> sink) {
    device_->SetLinkTrace(std::move(sink));
  }

  DeviceOperations& operations() { return ops_; }
  FiscalDevice& device() { return *device_; }

 private:
  enum class Wake { kNone, kQueue, kSync, kStop, kReconfigured };

  void WorkerMain();
  // Waits for work or the end of period_ms (kInfinite: no end) on the clock.
  Wake WaitForWork(uint32_t period_ms);
  void RunSyncCommand();
  void DrainQueue();
  // State OPOS_S_IDLE and, when FlagWhenIdle asks for it, the idle event; output_mu_ held.
  void EnterIdleLocked();
  // Sensor properties from the status block, and a StatusUpdateEvent per changed sensor.
  void RaiseStatusUpdates();
  // The periodic poll: printer state and sensors. A printer that answers again after it did
  // not (or after its port was reopened) has its sensors reported afresh, all four.
  void PollPrinter();
  // While the port is lost: one attempt to reopen it; on success the printer is polled at
  // once. True when the port is usable (it was not lost, or it is open again).
  bool TryReopen();
  // The pause before the next reopen attempt (doubling, see kReopenMaxMs).
  uint32_t NextReopenWait();
  void StopWorker(bool bounded);
  bool OnWorkerThread() const;

  UnitHost& host_;
  platform::Clock& clock_;
  std::unique_ptr<FiscalDevice> device_;
  DeviceOperations ops_;
  AsyncCommandQueue queue_;

  std::atomic<uint32_t> polling_{1000};
  std::atomic<uint32_t> after_sync_{100};
  std::atomic<uint32_t> after_async_{100};
  std::atomic<uint32_t> wait_slice_ms_{0xFFFFFFFFu};
  std::atomic<uint64_t> idle_waits_{0};

  // Output-state lock: makes "the queue holds work or a queued command runs" and State
  // change together, so that State is OPOS_S_BUSY from the moment output is queued until
  // the queue is empty and nothing runs, and the idle event comes at that same moment.
  // Held by QueueDeviceOp, ClearQueue and the worker around the queue's contents and the
  // State change, never while a command runs. Taken before mu_, the queue's own mutex and
  // the host's locks.
  std::mutex output_mu_;
  bool draining_ = false;  // the worker is inside DrainQueue (guarded by output_mu_)

  // Sync-call lock: at most one synchronous call in flight. Taken and released by the
  // calling thread around the whole call; the worker never takes it. Taken before mu_.
  std::mutex sync_call_mu_;

  // Hand-over lock: guards the flags below through which callers and the worker meet (wake
  // requests, the synchronous slot and its result, the worker's liveness).
  mutable std::mutex mu_;
  std::condition_variable worker_cv_;  // the worker waits here for work or stop
  std::condition_variable caller_cv_;  // callers wait here for the sync result or the end
  bool queue_signal_ = false;
  bool sync_request_ = false;  // set by the caller, consumed by the worker's wait
  bool sync_pending_ = false;  // a synchronous command is in the slot and not finished
  bool sync_done_ = false;
  bool stop_ = false;
  bool periods_changed_ = false;  // SetPollingTimes: the current wait is re-timed
  bool worker_alive_ = false;
  DeviceCommand sync_command_;
  DeviceResult sync_result_;

  // The worker thread; created and joined only by the thread that calls Connect/Disconnect
  // (the owner of the unit).
  std::thread worker_;
  std::atomic<std::thread::id> worker_id_{};
  // Set by the worker when the printer first answers; cleared by Connect (the status block
  // may still say online from an earlier connection).
  std::atomic<bool> online_{false};

  // Last reported sensor values (cover, journal paper, journal empty, receipt paper); -1
  // until reported. Used on the worker thread only; reset by Connect.
  int32_t last_sensor_[4] = {-1, -1, -1, -1};
  // Worker thread only: the printer did not answer the last poll (or its port is lost), and
  // the back-off of the next reopen attempt.
  bool away_ = false;
  bool port_gone_ = false;
  uint32_t reopen_wait_ms_ = 0;
};

}  // namespace kelo::device
