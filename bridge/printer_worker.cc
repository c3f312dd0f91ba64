#include "bridge/printer_worker.h"

#include <cstdio>

#include "bridge/json_input.h"
#include "opos/opos_constants.h"

namespace kelo::bridge {
namespace {

constexpr int32_t kClaimTimeoutMs = 2000;
constexpr auto kRetryAfterFailure = std::chrono::milliseconds(1000);
constexpr auto kStatusPeriod = std::chrono::milliseconds(200);

bool ReceiptOpenState(int32_t state) {
  return state == opos::FPTR_PS_FISCAL_RECEIPT || state == opos::FPTR_PS_FISCAL_RECEIPT_TOTAL ||
         state == opos::FPTR_PS_FISCAL_RECEIPT_ENDING;
}

}  // namespace

JobOutcome ErrorOutcome(int status, const std::string& code, const std::string& message,
                        const std::string& field) {
  nlohmann::json error = {{"code", code}, {"message", message}};
  if (!field.empty()) error["field"] = field;
  return {status, Dump(nlohmann::json{{"error", error}}), false};
}

// ---- Job ------------------------------------------------------------------------------------

bool Job::WaitDone(std::chrono::milliseconds limit, JobOutcome* outcome) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (!changed_.wait_for(lock, limit, [&] { return done_; })) return false;
  *outcome = outcome_;
  return true;
}

bool Job::CancelIfNotStarted() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (started_) return false;
  cancelled_ = true;
  return true;
}

bool Job::Begin() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (cancelled_) return false;
  started_ = true;
  return true;
}

void Job::Complete(JobOutcome outcome) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    outcome_ = outcome;
    done_ = true;
    changed_.notify_all();
  }
  if (on_done) on_done(outcome);
}

// ---- PrinterWorker --------------------------------------------------------------------------

PrinterWorker::PrinterWorker(PrinterConfig config, OnlineHook on_online)
    : config_(std::move(config)), on_online_(std::move(on_online)) {}

PrinterWorker::~PrinterWorker() {
  Stop();
}

void PrinterWorker::Start() {
  if (thread_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(queue_mutex_);
    stop_ = false;
  }
  thread_ = std::thread([this] { Run(); });
}

bool PrinterWorker::WaitFirstAttempt(std::chrono::milliseconds limit) {
  std::unique_lock<std::mutex> lock(queue_mutex_);
  return queue_changed_.wait_for(lock, limit, [&] { return first_attempt_done_ || stop_; });
}

void PrinterWorker::Stop() {
  {
    std::lock_guard<std::mutex> lock(queue_mutex_);
    stop_ = true;
    queue_changed_.notify_all();
  }
  if (thread_.joinable()) thread_.join();
}

bool PrinterWorker::Enqueue(std::shared_ptr<Job> job) {
  {
    std::lock_guard<std::mutex> lock(queue_mutex_);
    if (stop_ || !accepting_) return false;
    queue_.push_back(std::move(job));
    queue_changed_.notify_all();
  }
  return true;
}

PrinterStatus PrinterWorker::Status() {
  PrinterStatus s;
  {
    std::lock_guard<std::mutex> lock(status_mutex_);
    s = status_;
  }
  std::lock_guard<std::mutex> lock(queue_mutex_);
  s.busy = running_ || !queue_.empty();
  return s;
}

void PrinterWorker::SetError(const std::string& error) {
  std::lock_guard<std::mutex> lock(status_mutex_);
  if (status_.last_error != error && !error.empty()) {
    std::fprintf(stderr, "kelofpud: %s: %s\n", config_.name.c_str(), error.c_str());
  }
  status_.last_error = error;
}

bool PrinterWorker::Connect() {
  if (!fp_.IsOpen()) {
    if (fp_.Open(config_.device) != opos::OPOS_SUCCESS) {
      SetError("Open(\"" + config_.device + "\") failed: " + fp_.ErrorString());
      return false;
    }
  }
  if (!fp_.Claimed()) {
    if (fp_.ClaimDevice(kClaimTimeoutMs) != opos::OPOS_SUCCESS) {
      SetError("ClaimDevice failed (" + std::to_string(fp_.ResultCode()) +
               "): " + fp_.ErrorString());
      return false;
    }
  }
  if (!fp_.DeviceEnabled()) {
    fp_.SetDeviceEnabled(true);
    if (fp_.ResultCode() != opos::OPOS_SUCCESS) {
      SetError("DeviceEnabled failed (" + std::to_string(fp_.ResultCode()) +
               "): " + fp_.ErrorString());
      return false;
    }
  }
  std::fprintf(stderr, "kelofpud: %s: claimed %s\n", config_.name.c_str(), config_.device.c_str());
  SetError("");
  return true;
}

void PrinterWorker::Disconnect() {
  if (!fp_.IsOpen()) return;
  if (fp_.DeviceEnabled()) fp_.SetDeviceEnabled(false);
  if (fp_.Claimed()) (void)fp_.ReleaseDevice();
  (void)fp_.Close();
}

bool PrinterWorker::RefreshStatus() {
  // Properties only: the service object keeps them current by its own polling, so this adds
  // no printer traffic.
  const int32_t state = fp_.PrinterState();
  const bool online = fp_.DeviceEnabled() && state != opos::FPTR_PS_LOCKED && state != 0;
  PrinterStatus s;
  s.paper = fp_.RecEmpty() ? "empty" : fp_.RecNearEnd() ? "near_end" : "ok";
  s.cover_open = fp_.CoverOpen();
  s.day_open = fp_.DayOpened();
  s.receipt_open = ReceiptOpenState(state);
  s.last_receipt_number = last_receipt_number_;
  std::lock_guard<std::mutex> lock(status_mutex_);
  s.online = status_.online;  // published by Run once jobs are taken (PublishOnline)
  s.last_error = status_.last_error;
  status_ = s;
  return online;
}

std::shared_ptr<Job> PrinterWorker::NextJob(std::chrono::milliseconds wait) {
  std::unique_lock<std::mutex> lock(queue_mutex_);
  queue_changed_.wait_for(lock, wait, [&] { return stop_ || !queue_.empty(); });
  if (stop_ || queue_.empty()) return nullptr;
  auto job = std::move(queue_.front());
  queue_.pop_front();
  running_ = true;
  return job;
}

void PrinterWorker::Run() {
  PrinterSession session{fp_, counters_, last_receipt_number_, reconcile_needed_};
  bool connected = false;
  while (true) {
    {
      std::lock_guard<std::mutex> lock(queue_mutex_);
      if (stop_) break;
    }
    if (!connected) {
      connected = Connect();
      if (!connected) {
        {
          std::lock_guard<std::mutex> lock(queue_mutex_);
          first_attempt_done_ = true;
          queue_changed_.notify_all();
        }
        std::unique_lock<std::mutex> lock(queue_mutex_);
        queue_changed_.wait_for(lock, kRetryAfterFailure, [&] { return stop_; });
        continue;
      }
    }
    const bool online = RefreshStatus();
    if (online && (!reconciled_ || reconcile_needed_)) {
      reconcile_needed_ = false;
      // Back (or here for the first time): what the printer did meanwhile is unknown.
      counters_.known = false;
      if (on_online_) on_online_(session);
      reconciled_ = true;
      RefreshStatus();
    } else if (!online && reconciled_) {
      reconciled_ = false;
    }
    // Online for clients only once reconciled: what status shows is what Enqueue does.
    const bool accepting = online && reconciled_;
    {
      std::lock_guard<std::mutex> lock(queue_mutex_);
      accepting_ = accepting;
      first_attempt_done_ = true;
      queue_changed_.notify_all();
    }
    {
      std::lock_guard<std::mutex> lock(status_mutex_);
      status_.online = accepting;
    }
    auto job = NextJob(kStatusPeriod);
    if (!job) continue;
    if (!job->Begin()) {  // cancelled by its waiter
      std::lock_guard<std::mutex> lock(queue_mutex_);
      running_ = false;
      continue;
    }
    JobOutcome outcome;
    if (RefreshStatus()) {
      outcome = job->Run(session);
    } else {
      outcome = ErrorOutcome(503, "unavailable", "the printer is offline");
    }
    {
      std::lock_guard<std::mutex> lock(queue_mutex_);
      running_ = false;
    }
    job->Complete(std::move(outcome));
    RefreshStatus();
  }
  // Stopping: nothing queued will run.
  std::deque<std::shared_ptr<Job>> left;
  {
    std::lock_guard<std::mutex> lock(queue_mutex_);
    left.swap(queue_);
    accepting_ = false;
  }
  for (auto& job : left) {
    if (!job->Begin()) continue;
    job->Complete(ErrorOutcome(503, "unavailable", "the bridge is stopping"));
  }
  Disconnect();
}

}  // namespace kelo::bridge
