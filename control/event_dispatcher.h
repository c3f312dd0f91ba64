// How the control object hands its events to the application's thread.
//
// The service object raises events on threads of its own (its event-delivery thread). The
// control object never runs an application handler there by itself: it gives each handler call
// to the EventDispatcher the application chose, as a small function:
//   - StatusUpdateEvent and OutputCompleteEvent go through Post(): the service thread does not
//     wait for the handler.
//   - ErrorEvent and DirectIOEvent go through Invoke(): the service thread waits until the
//     handler has run, because it reads the handler's answer (the error response, the DirectIO
//     data and string) back.
#pragma once
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

namespace kelo::control {

class EventDispatcher {
 public:
  virtual ~EventDispatcher() = default;
  // Runs fn on the application's thread later; returns at once.
  virtual void Post(std::function<void()> fn) = 0;
  // Runs fn on the application's thread and returns when it has finished. An implementation
  // may give up before fn started (see QueuedDispatcher); it must then never run fn.
  virtual void Invoke(std::function<void()> fn) = 0;
};

// The default: runs every handler at once on the thread that raised the event (the service
// object's delivery thread). Handlers must then be safe to run beside the application's own
// thread. Never blocks by itself.
class DirectDispatcher : public EventDispatcher {
 public:
  void Post(std::function<void()> fn) override { fn(); }
  void Invoke(std::function<void()> fn) override { fn(); }
};

// A queue that the application's thread drains with RunPending(), for example from its event
// loop. `wake` (optional) is called on the raising thread whenever work arrives, so a GUI can
// schedule a RunPending() on its own thread.
//
// Invoke() waits until the application's thread has picked the function up and run it. If
// nobody picks it up within `pickup_timeout` (the application's thread is blocked, possibly
// inside a control object call that itself waits for the service thread), the function is
// withdrawn and never runs; the raiser then sees its own preset answer (for an error event:
// the service object's default response). Once picked up, the wait lasts as long as the
// handler runs (a message box waits for the user).
class QueuedDispatcher : public EventDispatcher {
 public:
  explicit QueuedDispatcher(std::function<void()> wake = {},
                            std::chrono::milliseconds pickup_timeout = std::chrono::seconds(30));
  ~QueuedDispatcher() override;

  void Post(std::function<void()> fn) override;
  void Invoke(std::function<void()> fn) override;

  // Runs every queued function on the calling thread, in arrival order. Returns how many ran.
  int RunPending();
  // Drops the queue and withdraws waiting Invoke() calls (used when the application quits).
  void Shutdown();

 private:
  struct Item;
  std::function<void()> wake_;
  const std::chrono::milliseconds pickup_timeout_;
  // Guards queue_ and shut_down_; never held while a queued function runs.
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::shared_ptr<Item>> queue_;
  bool shut_down_ = false;
};

}  // namespace kelo::control
