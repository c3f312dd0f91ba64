#include "control/event_dispatcher.h"

#include <algorithm>
#include <vector>

namespace kelo::control {

struct QueuedDispatcher::Item {
  enum class Stage { Queued, Running, Done, Withdrawn };
  // A call handed to the waiting raiser by CallOnWaitingRaiser.
  struct Call {
    const std::function<void()>* fn = nullptr;
    bool done = false;
  };
  std::function<void()> fn;
  Stage stage = Stage::Queued;
  bool raiser_waits = false;  // given to Invoke (not Post)
  std::deque<Call*> calls;    // for the raiser to run while it waits
};

struct QueuedDispatcher::Running {
  QueuedDispatcher* dispatcher;
  std::shared_ptr<Item> item;
};

thread_local std::vector<QueuedDispatcher::Running*> QueuedDispatcher::t_running_;

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
  item->raiser_waits = true;
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
  // message box), so this wait has no time limit of its own. It ends when the handler does;
  // the calls the handler makes meanwhile run here, each to its end, so they cannot keep the
  // handler from ending.
  for (;;) {
    changed_.wait(lock, [&] {
      return item->stage == Item::Stage::Done || item->stage == Item::Stage::Withdrawn ||
             !item->calls.empty();
    });
    if (item->calls.empty()) return;
    Item::Call* call = item->calls.front();
    item->calls.pop_front();
    lock.unlock();
    (*call->fn)();
    lock.lock();
    call->done = true;
    changed_.notify_all();
  }
}

bool QueuedDispatcher::CallOnWaitingRaiser(const std::function<void()>& fn) {
  std::shared_ptr<Item> item;
  for (auto it = t_running_.rbegin(); it != t_running_.rend(); ++it) {
    if ((*it)->dispatcher == this && (*it)->item->raiser_waits) {
      item = (*it)->item;
      break;
    }
  }
  if (!item) return false;
  Item::Call call;
  call.fn = &fn;
  std::unique_lock<std::mutex> lock(mutex_);
  // The item runs on this very thread, so its raiser waits until it is done: the call is
  // taken. The wait lasts as long as the call itself.
  item->calls.push_back(&call);
  changed_.notify_all();
  changed_.wait(lock, [&] { return call.done; });
  return true;
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
    Running running{this, item};
    t_running_.push_back(&running);
    item->fn();
    t_running_.pop_back();
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
