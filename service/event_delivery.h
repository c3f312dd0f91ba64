// Delivery of the OPOS events to the control object: status updates, output-complete and
// DirectIO events through a first-in first-out queue, error events synchronously so that the
// raiser reads the control object's response. Every callback runs on one delivery thread,
// one at a time; freezing holds every delivery back until it is released or delivery stops.
//
// Threads: raisers (callers' threads, the device worker), the queue thread (owned here; it
// takes queued events one by one and hands them over), and the delivery thread (a
// platform::MessageThread owned here; the only thread that calls the control object).
// A callback may close the unit and drop its last reference, so this object may be gone when
// a callback returns: what the delivery thread touches afterwards is shared with it.
#pragma once
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/automation/dispatch.h"
#include "platform/os/message_thread.h"
#include "service/control_binding.h"

namespace kelo::service {

class EventDelivery {
 public:
  enum class Kind { DirectIO = 1, Error = 2, OutputComplete = 3, StatusUpdate = 4 };

  EventDelivery() = default;
  ~EventDelivery();  // stops; held events are discarded
  EventDelivery(const EventDelivery&) = delete;
  EventDelivery& operator=(const EventDelivery&) = delete;

  // Starts both threads, releases a freeze and empties the queue. Nothing when running.
  // Start and Stop come from the unit's open and close, never concurrently with each other.
  void Start();
  // Stops and joins both threads. Events not yet delivered are never delivered; a raiser
  // waiting in RaiseError returns its preset response. Safe from inside a callback.
  void Stop();
  bool running();

  // Resolves the five names on its own reference to the control object: 0, or 111.
  int32_t Bind(automation::IDispatch* control);

  // Queued events. Ignored while delivery is not running (nobody to deliver to).
  // The DirectIO event carries copies of its data value and text (a queued event must not
  // point into the raiser's stack).
  void RaiseDirectIO(int32_t event_number, int32_t data, std::string text);
  void RaiseOutputComplete(int32_t output_id);
  void RaiseStatusUpdate(int32_t value);

  // Delivers an error event and waits for the callback to return. Returns the control
  // object's response, or preset_response when the event was dropped (ClearOutput while
  // frozen), delivery stopped first, delivery is not running, or the raiser is itself a
  // callback on the delivery thread (which could otherwise never be answered).
  int32_t RaiseError(int32_t result_code, int32_t extended, int32_t locus, int32_t preset_response);

  // Freeze(true) holds deliveries back (an event being delivered finishes first, unless the
  // caller is that event's own callback); a second Freeze(true) does nothing; Freeze(false)
  // releases, from whichever thread it comes.
  void Freeze(bool freeze);
  bool frozen();
  // Events waiting to be handed over (held by a freeze or behind the delivery in progress):
  // queued ones the queue thread has taken and error raisers. For tests.
  int held();

  // ClearOutput: when frozen, the next error event is dropped.
  void MarkDropErrors();

  // While on, error events are not delivered: RaiseError returns its preset response at once,
  // and raisers already waiting (for a freeze to end, for their callback) return it now. The
  // unit turns it on while it releases the device, whose worker may be waiting for an answer
  // that only a callback busy with that very release would give; off again on the next claim.
  void AnswerErrorsWithPreset(bool on);

 private:
  struct Record {
    Kind kind;
    int32_t args[3] = {0, 0, 0};
    int32_t response = 0;  // error events: the response, preset by the raiser
    std::string text;      // DirectIO events
    uint64_t session = 0;  // the Start it was delivered under
    bool done = false;     // guarded by Gate::mu
  };
  // Shared with every callback handed to the delivery thread (see the top).
  struct Gate {
    // Guards everything here and Record::done. Never held while a callback runs or together
    // with list_mu_.
    std::mutex mu;
    std::condition_variable cv;
    bool running = false;
    bool frozen = false;
    bool delivering = false;  // a callback is in progress (at most one at a time)
    bool drop_errors = false;
    bool answer_errors = false;
    int held = 0;          // deliveries waiting to be handed over
    uint64_t session = 0;  // counts Starts
  };

  void Queue(std::shared_ptr<Record> record);
  void QueueMain();
  // Hands one record to the delivery thread and waits for its callback. False when the
  // record was not delivered or its raiser stopped waiting.
  bool DeliverOne(const std::shared_ptr<Record>& record);
  // Runs on the delivery thread; touches nothing of this object.
  static void CallControlObject(Gate& gate, const ControlBinding& binding, Record& record);

  // Guards binding_ (renewed by Bind while raisers may copy it).
  std::mutex binding_mu_;
  ControlBinding binding_;

  const std::shared_ptr<Gate> gate_ = std::make_shared<Gate>();

  // Guards pending_ and list_stop_. Never held while delivering.
  std::mutex list_mu_;
  std::condition_variable list_cv_;
  std::deque<std::shared_ptr<Record>> pending_;
  bool list_stop_ = false;

  std::thread queue_thread_;
  platform::MessageThread window_;
};

}  // namespace kelo::service
