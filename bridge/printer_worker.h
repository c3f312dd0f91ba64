// One printer, owned by one thread.
//
// The worker thread is the only thread that touches its FiscalPrinter: it opens the device,
// claims it (ClaimDevice with a bounded time-out, retried while the printer is absent),
// enables it, runs the queued jobs one after the other, and between jobs copies the status
// properties the service object keeps current by its own polling into a snapshot that HTTP
// threads read. So one printer's work is serialized and different printers run in parallel.
//
// Locks (docs/ARCHITECTURE.md): queue_mutex_ guards the queue, the stop flag and the
// accepting/running flags; status_mutex_ guards the snapshot; Job::mutex guards a job's progress.
// All three are leaves: none is held while another lock is taken or while the printer is called.
#pragma once
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include <nlohmann/json.hpp>

#include "bridge/config.h"
#include "control/fiscal_printer.h"

namespace kelo::bridge {

// The printer's document counters as read in the monitor state (GetData): receipts is
// FPTR_GD_RECEIPT_NUMBER (every fiscal document ended or voided today, so the number of the
// last one), voided is FPTR_GD_MID_VOID (receipts voided today).
struct Counters {
  bool known = false;
  int64_t receipts = 0;
  int64_t voided = 0;
};

// What a job gets to work with, on the worker thread.
struct PrinterSession {
  control::FiscalPrinter& fp;
  Counters& counters;
  int64_t& last_receipt_number;  // -1: not known
  // Set by a job that lost the printer mid-print: the online hook runs again (the journal is
  // reconciled) before the next job.
  bool& reconcile_needed;
};

struct JobOutcome {
  int status = 500;
  std::string body;   // JSON text, sent and journalled byte for byte
  bool keep = false;  // the journal could not record it: remember it in memory instead
};

// {"error": {"code": code, "field": field (when not empty), "message": message}}.
JobOutcome ErrorOutcome(int status, const std::string& code, const std::string& message,
                        const std::string& field = "");

// A piece of work for one printer. The HTTP thread that posted it waits for it with a
// bounded wait; a job that has not started yet can be cancelled.
class Job {
 public:
  explicit Job(std::function<JobOutcome(PrinterSession&)> run) : run_(std::move(run)) {}

  // Waits until the job is done; false when the time ran out first.
  bool WaitDone(std::chrono::milliseconds limit, JobOutcome* outcome);
  // Cancels the job unless it has started; true when it will not run.
  bool CancelIfNotStarted();

  // Worker side.
  bool Begin();  // false when cancelled
  void Complete(JobOutcome outcome);
  JobOutcome Run(PrinterSession& session) { return run_(session); }

  // Called after Complete (on the completing thread, with no lock held).
  std::function<void(const JobOutcome&)> on_done;

 private:
  std::function<JobOutcome(PrinterSession&)> run_;
  std::mutex mutex_;  // guards started_, done_, cancelled_, outcome_
  std::condition_variable changed_;
  bool started_ = false;
  bool done_ = false;
  bool cancelled_ = false;
  JobOutcome outcome_;
};

struct PrinterStatus {
  bool online = false;
  std::string paper = "ok";  // "ok", "near_end", "empty"
  bool cover_open = false;
  bool day_open = false;
  bool receipt_open = false;
  bool busy = false;
  int64_t last_receipt_number = -1;
  std::string last_error;
};

class PrinterWorker {
 public:
  // Run on the worker thread each time the printer comes online (claimed, enabled, answering),
  // before any job: the bridge reconciles its journal there.
  using OnlineHook = std::function<void(PrinterSession&)>;

  PrinterWorker(PrinterConfig config, OnlineHook on_online);
  ~PrinterWorker();
  PrinterWorker(const PrinterWorker&) = delete;
  PrinterWorker& operator=(const PrinterWorker&) = delete;

  const PrinterConfig& config() const { return config_; }

  void Start();
  // Waits (at most `limit`) until the first attempt to claim the printer has ended, online
  // hook included.
  bool WaitFirstAttempt(std::chrono::milliseconds limit);
  // Finishes the job in progress, answers queued jobs 503, releases the printer, joins.
  void Stop();

  // Queues a job; false (nothing queued) when the printer is not online or the worker stops.
  bool Enqueue(std::shared_ptr<Job> job);

  PrinterStatus Status();

 private:
  void Run();
  bool Connect();     // open, claim, enable; true when enabled
  void Disconnect();  // disable, release, close
  // Copies the properties into the snapshot (all but "online", which Run publishes together
  // with accepting_); true when the printer answers.
  bool RefreshStatus();
  void SetError(const std::string& error);
  std::shared_ptr<Job> NextJob(std::chrono::milliseconds wait);  // null on time-out or stop

  const PrinterConfig config_;
  const OnlineHook on_online_;
  control::FiscalPrinter fp_;         // worker thread only
  Counters counters_;                 // worker thread only
  int64_t last_receipt_number_ = -1;  // worker thread only (copied into the snapshot)
  bool reconciled_ = false;           // worker thread only: the hook ran since the last offline
  bool reconcile_needed_ = false;     // worker thread only: a job asks for the hook again

  std::mutex queue_mutex_;
  std::condition_variable queue_changed_;
  std::deque<std::shared_ptr<Job>> queue_;
  bool stop_ = false;
  bool first_attempt_done_ = false;
  bool accepting_ = false;  // online and reconciled: Enqueue takes jobs
  bool running_ = false;    // a job taken from the queue has not completed yet

  std::mutex status_mutex_;
  PrinterStatus status_;

  std::thread thread_;
};

}  // namespace kelo::bridge
