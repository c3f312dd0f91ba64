// A thread with its own queue of posted messages: the stand-in for a hidden window with a
// message loop. Work posted to it runs on that one thread, one message at a time, in the
// order posted.
//
// The queue exists from construction, so a message posted between Start and the moment the
// thread's loop first looks at the queue waits in the queue and is neither lost nor blocks
// the poster. Stop discards messages that have not begun to run.
#pragma once
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace kelo::platform {

class MessageThread {
 public:
  using Message = std::function<void()>;

  MessageThread();
  // Stops the thread (see Stop).
  ~MessageThread();
  MessageThread(const MessageThread&) = delete;
  MessageThread& operator=(const MessageThread&) = delete;

  // Starts the loop. Does nothing when it already runs. Returns once the thread exists.
  void Start();

  // Queues a message for the loop. False (and nothing queued) when the loop is not running
  // or is stopping, so a poster that waits for the message to run can tell it never will.
  bool Post(Message message);

  // Ends the loop: the message running now finishes, queued ones are discarded, and the
  // thread is joined. Called on the loop's own thread (from inside a message) it only asks
  // the loop to end after that message; that thread is then joined by the next Start or, if
  // the next Start or the destructor also runs on it, detached (it ends by itself).
  void Stop();

  bool running();
  // True when called on the loop's thread.
  bool OnLoopThread();

  // Start and Stop are called by one owner, not concurrently with each other; Post,
  // running and OnLoopThread may be called from any thread.

 private:
  // Shared with the thread itself, so a loop that outlives its owner (see the destructor)
  // never touches freed memory.
  struct Shared {
    // Guards queue, quit and running; held only to change them, never while a message runs.
    std::mutex mu;
    std::condition_variable cv;
    std::deque<Message> queue;
    bool running = false;
    // Every Start and Stop opens a new generation; a loop runs only while its own is current,
    // so a loop told to end from inside itself can never compete with its successor.
    uint64_t generation = 0;
    std::thread::id loop_id;  // the loop's thread, once it runs
  };
  static void Loop(std::shared_ptr<Shared> shared, uint64_t generation);
  void JoinOrDetachPrevious();

  std::shared_ptr<Shared> shared_;
  std::thread thread_;
};

}  // namespace kelo::platform
