// One device operation waiting to run (queued or in the synchronous slot), and the
// first-in first-out queue of asynchronous output.
#pragma once
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "device/device_result.h"

namespace kelo::device {

class DeviceOperations;
// Every device operation has this shape: parameter text in, output text out.
using DeviceOp = DeviceResult (DeviceOperations::*)(const std::string& input, std::string& output);

class DeviceCommand {
 public:
  DeviceCommand() = default;
  DeviceCommand(DeviceOp op, DeviceOperations* target, std::string input, int32_t output_id);

  void Set(DeviceOp op, DeviceOperations* target, std::string input, int32_t output_id);
  // Calls the operation on its target with the input and the command's own output text.
  // An operation that throws gives 111 with the exception's text.
  DeviceResult Run();
  const std::string& output() const { return output_; }
  int32_t output_id() const { return output_id_; }

 private:
  DeviceOp op_ = nullptr;
  DeviceOperations* target_ = nullptr;
  std::string input_;
  std::string output_;
  int32_t output_id_ = 0;
};

class AsyncCommandQueue {
 public:
  // Called after every Enqueue (outside the queue mutex); the worker thread installs it.
  void SetNotifier(std::function<void()> notifier);
  int32_t Enqueue(DeviceOp op, DeviceOperations* target, std::string input, int32_t output_id);
  // Runs the oldest command without removing it; 111 (nothing run) when empty.
  int32_t RunOldest(int32_t* output_id, DeviceResult* result);
  // Removes the command RunOldest ran (if it is still queued; a Clear may have dropped it),
  // else the oldest. 106 when empty.
  int32_t RemoveOldest();
  void Clear();
  bool IsEmpty() const;
  size_t Size() const;

 private:
  // Guards commands_, notifier_ and last_run_. Never held while a command runs, so callers can look
  // at the queue (IsEmpty, Clear) while the worker is busy printing.
  mutable std::mutex mu_;
  // Oldest first. Commands are shared so one can run outside the mutex while a Clear from
  // another thread drops it from the list.
  std::deque<std::shared_ptr<DeviceCommand>> commands_;
  std::function<void()> notifier_;
  // The command RunOldest ran last, so RemoveOldest removes that one and no other.
  std::shared_ptr<DeviceCommand> last_run_;
};

}  // namespace kelo::device
