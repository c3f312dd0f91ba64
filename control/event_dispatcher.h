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
#include <vector>

namespace kelo::control {

class EventDispatcher {
 public:
  virtual ~EventDispatcher() = default;
  // Runs fn on the application's thread later; returns at once.
  virtual void Post(std::function<void()> fn) = 0;
  // Runs fn on the application's thread and returns when it has finished. An implementation
  // may give up before fn started (see QueuedDispatcher); it must then never run fn.
  virtual void Invoke(std::function<void()> fn) = 0;
  // For calls that a handler makes back into the service object. When the calling thread
  // is running a handler (or something called from one) whose raiser waits in Invoke, runs
  // call on the raiser's thread, which is idle while it waits, and returns true once call has
  // run: the service object then sees the call come from its own callback and does not wait
  // for that callback to end. Otherwise returns false without running call. The default
  // (handlers run on the raiser's thread already) always returns false.
  virtual bool CallOnWaitingRaiser(const std::function<void()>& call) {
    (void)call;
    return false;
  }
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
// handler runs (a message box waits for the user); meanwhile the raiser runs the calls that
// handler makes back into the service object (CallOnWaitingRaiser), so that a handler that
// freezes events, releases or closes does not wait for the raiser that waits for it.
class QueuedDispatcher : public EventDispatcher {
 public:
  explicit QueuedDispatcher(std::function<void()> wake = {},
                            std::chrono::milliseconds pickup_timeout = std::chrono::seconds(30));
  ~QueuedDispatcher() override;

  void Post(std::function<void()> fn) override;
  void Invoke(std::function<void()> fn) override;
  bool CallOnWaitingRaiser(const std::function<void()>& call) override;

  // Runs every queued function on the calling thread, in arrival order. Returns how many ran.
  int RunPending();
  // Drops the queue and withdraws waiting Invoke() calls (used when the application quits).
  void Shutdown();

 private:
  struct Item;
  struct Running;
  // The items running on this thread, innermost last (a handler may drain the queue again,
  // for example from a nested event loop).
  static thread_local std::vector<Running*> t_running_;
  std::function<void()> wake_;
  const std::chrono::milliseconds pickup_timeout_;
  // Guards queue_, shut_down_ and the items' stage and calls; never held while a queued
  // function or a call runs.
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::shared_ptr<Item>> queue_;
  bool shut_down_ = false;
};

}  // namespace kelo::control
