#include "device/device_command.h"

#include <exception>

#include "opos/opos_constants.h"

namespace kelo::device {

DeviceCommand::DeviceCommand(DeviceOp op, DeviceOperations* target, std::string input,
                             int32_t output_id) {
  Set(op, target, std::move(input), output_id);
}

void DeviceCommand::Set(DeviceOp op, DeviceOperations* target, std::string input,
                        int32_t output_id) {
  op_ = op;
  target_ = target;
  input_ = std::move(input);
  output_.clear();
  output_id_ = output_id;
}

DeviceResult DeviceCommand::Run() {
  output_.clear();
  if (op_ == nullptr || target_ == nullptr) {
    return {opos::OPOS_E_FAILURE, 0, "No device operation"};
  }
  try {
    return (target_->*op_)(input_, output_);
  } catch (const std::exception& e) {
    return {opos::OPOS_E_FAILURE, 0, e.what()};
  }
}

void AsyncCommandQueue::SetNotifier(std::function<void()> notifier) {
  std::lock_guard<std::mutex> lock(mu_);
  notifier_ = std::move(notifier);
}

int32_t AsyncCommandQueue::Enqueue(DeviceOp op, DeviceOperations* target, std::string input,
                                   int32_t output_id) {
  std::function<void()> notify;
  {
    std::lock_guard<std::mutex> lock(mu_);
    commands_.push_back(std::make_shared<DeviceCommand>(op, target, std::move(input), output_id));
    notify = notifier_;
  }
  if (notify) notify();
  return 0;
}

int32_t AsyncCommandQueue::RunOldest(int32_t* output_id, DeviceResult* result) {
  std::shared_ptr<DeviceCommand> command;
  {
    std::lock_guard<std::mutex> lock(mu_);
    if (commands_.empty()) return opos::OPOS_E_FAILURE;
    command = commands_.front();
    last_run_ = command;
  }
  DeviceResult r = command->Run();
  if (output_id) *output_id = command->output_id();
  if (result) *result = std::move(r);
  return 0;
}

int32_t AsyncCommandQueue::RemoveOldest() {
  std::lock_guard<std::mutex> lock(mu_);
  std::shared_ptr<DeviceCommand> ran = std::move(last_run_);
  last_run_.reset();
  if (commands_.empty()) return opos::OPOS_E_ILLEGAL;
  // The command that ran was dropped by a Clear while it ran: the head is a newer command
  // that must not be lost.
  if (ran && commands_.front() != ran) return 0;
  commands_.pop_front();
  return 0;
}

void AsyncCommandQueue::Clear() {
  std::lock_guard<std::mutex> lock(mu_);
  commands_.clear();
}

bool AsyncCommandQueue::IsEmpty() const {
  std::lock_guard<std::mutex> lock(mu_);
  return commands_.empty();
}

size_t AsyncCommandQueue::Size() const {
  std::lock_guard<std::mutex> lock(mu_);
  return commands_.size();
}

}  // namespace kelo::device
