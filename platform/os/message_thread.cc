#include "platform/os/message_thread.h"

#include <utility>

namespace kelo::platform {

MessageThread::MessageThread() : shared_(std::make_shared<Shared>()) {}

MessageThread::~MessageThread() {
  Stop();
  // Still joinable only when the owner is destroyed from inside one of the loop's own
  // messages: that loop ends after the message and keeps the shared state alive itself.
  if (thread_.joinable()) thread_.detach();
}

void MessageThread::Loop(std::shared_ptr<Shared> shared, uint64_t generation) {
  {
    std::lock_guard<std::mutex> lock(shared->mu);
    if (shared->generation == generation) shared->loop_id = std::this_thread::get_id();
  }
  for (;;) {
    Message message;
    {
      std::unique_lock<std::mutex> lock(shared->mu);
      shared->cv.wait(lock,
                      [&] { return shared->generation != generation || !shared->queue.empty(); });
      if (shared->generation != generation) break;
      message = std::move(shared->queue.front());
      shared->queue.pop_front();
    }
    message();
  }
}

void MessageThread::JoinOrDetachPrevious() {
  if (!thread_.joinable()) return;
  if (thread_.get_id() == std::this_thread::get_id()) {
    thread_.detach();
  } else {
    thread_.join();
  }
}

void MessageThread::Start() {
  uint64_t generation = 0;
  {
    std::lock_guard<std::mutex> lock(shared_->mu);
    if (shared_->running) return;
  }
  JoinOrDetachPrevious();
  {
    std::lock_guard<std::mutex> lock(shared_->mu);
    shared_->queue.clear();
    shared_->running = true;
    generation = ++shared_->generation;
    shared_->loop_id = std::thread::id();
  }
  thread_ = std::thread(&MessageThread::Loop, shared_, generation);
}

bool MessageThread::Post(Message message) {
  {
    std::lock_guard<std::mutex> lock(shared_->mu);
    if (!shared_->running) return false;
    shared_->queue.push_back(std::move(message));
  }
  shared_->cv.notify_all();
  return true;
}

void MessageThread::Stop() {
  std::deque<Message> discarded;
  {
    std::lock_guard<std::mutex> lock(shared_->mu);
    if (shared_->running) ++shared_->generation;
    shared_->running = false;
    shared_->loop_id = std::thread::id();
    discarded.swap(shared_->queue);
  }
  shared_->cv.notify_all();
  // Discarded messages are destroyed here, outside the lock: they may own objects whose
  // destruction posts or stops again.
  discarded.clear();
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

bool MessageThread::running() {
  std::lock_guard<std::mutex> lock(shared_->mu);
  return shared_->running;
}

bool MessageThread::OnLoopThread() {
  std::lock_guard<std::mutex> lock(shared_->mu);
  return shared_->loop_id == std::this_thread::get_id();
}

}  // namespace kelo::platform
