#include "control/event_dispatcher.h"

#include <algorithm>

namespace kelo::control {

struct QueuedDispatcher::Item {
  enum class Stage { Queued, Running, Done, Withdrawn };
  std::function<void()> fn;
  Stage stage = Stage::Queued;
};

QueuedDispatcher::QueuedDispatcher(std::function<void()> wake,
                                   std::chrono::milliseconds pickup_timeout)
    : wake_(std::move(wake)), pickup_timeout_(pickup_timeout) {}

QueuedDispatcher::~QueuedDispatcher() {
  Shutdown();
}

void QueuedDispatcher::Post(std::function<void()> fn) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (shut_down_) return;
    auto item = std::make_shared<Item>();
    item->fn = std::move(fn);
    queue_.push_back(std::move(item));
  }
  if (wake_) wake_();
}

void QueuedDispatcher::Invoke(std::function<void()> fn) {
  auto item = std::make_shared<Item>();
  item->fn = std::move(fn);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (shut_down_) return;
    queue_.push_back(item);
  }
  if (wake_) wake_();
  std::unique_lock<std::mutex> lock(mutex_);
  const bool picked =
      changed_.wait_for(lock, pickup_timeout_, [&] { return item->stage != Item::Stage::Queued; });
  if (!picked) {
    // Nobody came for it: withdraw it so that it can never run after we return (it refers to
    // the raiser's stack).
    queue_.erase(std::remove(queue_.begin(), queue_.end(), item), queue_.end());
    item->stage = Item::Stage::Withdrawn;
    return;
  }
  // The handler is running on the application's thread; it may wait for a person (an error
  // message box), so this wait has no time limit of its own.
  changed_.wait(lock, [&] {
    return item->stage == Item::Stage::Done || item->stage == Item::Stage::Withdrawn;
  });
}

int QueuedDispatcher::RunPending() {
  int ran = 0;
  for (;;) {
    std::shared_ptr<Item> item;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (queue_.empty()) break;
      item = std::move(queue_.front());
      queue_.pop_front();
      item->stage = Item::Stage::Running;
    }
    changed_.notify_all();
    item->fn();
    ++ran;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      item->stage = Item::Stage::Done;
    }
    changed_.notify_all();
  }
  return ran;
}

void QueuedDispatcher::Shutdown() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    shut_down_ = true;
    for (auto& item : queue_) item->stage = Item::Stage::Withdrawn;
    queue_.clear();
  }
  changed_.notify_all();
}

}  // namespace kelo::control
