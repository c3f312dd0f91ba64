#include "service/event_delivery.h"

#include <utility>

namespace kelo::service {

EventDelivery::~EventDelivery() {
  Stop();
  std::lock_guard<std::mutex> lock(list_mu_);
  pending_.clear();
}

void EventDelivery::Start() {
  {
    std::lock_guard<std::mutex> lock(gate_->mu);
    if (gate_->running) return;
  }
  if (queue_thread_.joinable()) queue_thread_.join();
  window_.Start();
  {
    std::lock_guard<std::mutex> lock(gate_->mu);
    gate_->frozen = false;
    gate_->delivering = false;
    // A drop requested by ClearOutput in an earlier session must not eat an error event of
    // this one.
    gate_->drop_errors = false;
    gate_->answer_errors = false;
    ++gate_->session;
    gate_->running = true;
  }
  {
    std::lock_guard<std::mutex> lock(list_mu_);
    pending_.clear();
    list_stop_ = false;
  }
  queue_thread_ = std::thread(&EventDelivery::QueueMain, this);
}

void EventDelivery::Stop() {
  {
    std::lock_guard<std::mutex> lock(gate_->mu);
    if (!gate_->running) return;
    gate_->running = false;
  }
  gate_->cv.notify_all();
  {
    std::lock_guard<std::mutex> lock(list_mu_);
    list_stop_ = true;
  }
  list_cv_.notify_all();
  // The queue thread only ever waits on the two conditions just signalled, so it ends at
  // once; it never runs a callback itself.
  if (queue_thread_.joinable()) queue_thread_.join();
  // Waits for a callback in progress to return (unless this is that callback).
  window_.Stop();
}

bool EventDelivery::running() {
  std::lock_guard<std::mutex> lock(gate_->mu);
  return gate_->running;
}

int32_t EventDelivery::Bind(automation::IDispatch* control) {
  std::lock_guard<std::mutex> lock(binding_mu_);
  return binding_.Bind(control);
}

void EventDelivery::Queue(std::shared_ptr<Record> record) {
  if (!running()) return;
  {
    std::lock_guard<std::mutex> lock(list_mu_);
    pending_.push_back(std::move(record));
  }
  list_cv_.notify_one();
}

void EventDelivery::RaiseDirectIO(int32_t event_number, int32_t data, std::string text) {
  auto record = std::make_shared<Record>();
  record->kind = Kind::DirectIO;
  record->args[0] = event_number;
  record->args[1] = data;
  record->text = std::move(text);
  Queue(std::move(record));
}

void EventDelivery::RaiseOutputComplete(int32_t output_id) {
  auto record = std::make_shared<Record>();
  record->kind = Kind::OutputComplete;
  record->args[0] = output_id;
  Queue(std::move(record));
}

void EventDelivery::RaiseStatusUpdate(int32_t value) {
  auto record = std::make_shared<Record>();
  record->kind = Kind::StatusUpdate;
  record->args[0] = value;
  Queue(std::move(record));
}

int32_t EventDelivery::RaiseError(int32_t result_code, int32_t extended, int32_t locus,
                                  int32_t preset_response) {
  if (window_.OnLoopThread()) return preset_response;
  auto record = std::make_shared<Record>();
  record->kind = Kind::Error;
  record->args[0] = result_code;
  record->args[1] = extended;
  record->args[2] = locus;
  record->response = preset_response;
  DeliverOne(record);
  std::lock_guard<std::mutex> lock(gate_->mu);
  return record->done ? record->response : preset_response;
}

void EventDelivery::QueueMain() {
  for (;;) {
    std::shared_ptr<Record> record;
    {
      std::unique_lock<std::mutex> lock(list_mu_);
      list_cv_.wait(lock, [this] { return list_stop_ || !pending_.empty(); });
      if (list_stop_) return;
      record = std::move(pending_.front());
      pending_.pop_front();
    }
    DeliverOne(record);
  }
}

bool EventDelivery::DeliverOne(const std::shared_ptr<Record>& record) {
  const bool error = record->kind == Kind::Error;
  Gate& gate = *gate_;
  auto gives_up = [&] { return !gate.running || (error && gate.answer_errors); };
  {
    std::unique_lock<std::mutex> lock(gate.mu);
    ++gate.held;
    gate.cv.wait(lock, [&] { return gives_up() || (!gate.frozen && !gate.delivering); });
    --gate.held;
    if (gives_up()) return false;
    if (gate.drop_errors && error) return false;  // the flag stays set
    gate.drop_errors = false;
    gate.delivering = true;
    record->session = gate.session;
  }
  ControlBinding binding;
  {
    std::lock_guard<std::mutex> lock(binding_mu_);
    binding = binding_;
  }
  const bool posted = window_.Post([gate = gate_, binding = std::move(binding), record] {
    CallControlObject(*gate, binding, *record);
  });
  std::unique_lock<std::mutex> lock(gate.mu);
  if (!posted) {
    gate.delivering = false;
    lock.unlock();
    gate.cv.notify_all();
    return false;
  }
  // The callback clears `delivering` when it returns, also when its raiser has given up.
  gate.cv.wait(lock, [&] { return record->done || gives_up(); });
  return record->done;
}

void EventDelivery::CallControlObject(Gate& gate, const ControlBinding& binding, Record& record) {
  int32_t response = record.response;
  switch (record.kind) {
    case Kind::DirectIO: {
      int32_t data = record.args[1];
      std::string text = record.text;
      binding.CallDirectIO(record.args[0], &data, &text);
      break;
    }
    case Kind::Error:
      binding.CallError(record.args[0], record.args[1], record.args[2], &response);
      break;
    case Kind::OutputComplete:
      binding.CallOutputComplete(record.args[0]);
      break;
    case Kind::StatusUpdate:
      binding.CallStatusUpdate(record.args[0]);
      break;
  }
  {
    std::lock_guard<std::mutex> lock(gate.mu);
    record.response = response;
    record.done = true;
    // A callback that stopped delivery and started it again must not end the new session's
    // delivery.
    if (record.session == gate.session) gate.delivering = false;
  }
  gate.cv.notify_all();
}

void EventDelivery::Freeze(bool freeze) {
  Gate& gate = *gate_;
  std::unique_lock<std::mutex> lock(gate.mu);
  if (!freeze) {
    gate.frozen = false;
    lock.unlock();
    gate.cv.notify_all();
    return;
  }
  if (gate.frozen) return;
  gate.frozen = true;
  // Let the callback in progress finish first; a callback freezing from inside itself
  // cannot wait for its own end.
  lock.unlock();
  const bool inside_callback = window_.OnLoopThread();
  lock.lock();
  if (!inside_callback) gate.cv.wait(lock, [&] { return !gate.delivering || !gate.running; });
}

bool EventDelivery::frozen() {
  std::lock_guard<std::mutex> lock(gate_->mu);
  return gate_->frozen;
}

int EventDelivery::held() {
  std::lock_guard<std::mutex> lock(gate_->mu);
  return gate_->held;
}

void EventDelivery::MarkDropErrors() {
  std::lock_guard<std::mutex> lock(gate_->mu);
  if (gate_->frozen) gate_->drop_errors = true;
}

void EventDelivery::AnswerErrorsWithPreset(bool on) {
  {
    std::lock_guard<std::mutex> lock(gate_->mu);
    gate_->answer_errors = on;
  }
  gate_->cv.notify_all();
}

}  // namespace kelo::service
