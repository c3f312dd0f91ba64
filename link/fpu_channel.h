// The exchange engine: one command frame out, one validated response frame back, with the
// sequence-number, retry and time-out rules of the printer's protocol.
//
// Exchanges are half-duplex and driven by the caller's thread; the printer never speaks
// unasked. The engine's own command and response slots are reused for every exchange, so
// an exchange allocates nothing.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string_view>
#include <thread>

#include "link/fpu_frame.h"
#include "link/serial_port.h"
#include "platform/os/clock.h"

namespace kelo::link {

inline constexpr uint32_t kReceiveDeadlineMs = 3000;  // one ReceiveFrame at most
inline constexpr int kTransactAttempts = 3;
inline constexpr size_t kReceiveBufferSize = 500;  // largest response frame taken in
inline constexpr size_t kSendBufferSize = 1024;    // largest command frame written
inline constexpr uint32_t kCompanionStepMs = 100;
inline constexpr uint32_t kStopWaitMs = 10000;

// A deadline on the 32-bit millisecond tick, correct across its wrap.
class TickTimer {
 public:
  TickTimer(platform::Clock& clock, uint32_t period_ms)
      : clock_(clock), start_(clock.TickMs()), period_(period_ms) {}
  uint32_t Elapsed() const { return platform::TicksSince(start_, clock_.TickMs()); }
  bool Expired() const { return Elapsed() >= period_; }
  uint32_t Remaining() const {
    uint32_t e = Elapsed();
    return e >= period_ ? 0 : period_ - e;
  }

 private:
  platform::Clock& clock_;
  uint32_t start_;
  uint32_t period_;
};

class FpuChannel {
 public:
  // Receives one complete trace line ("CMD  * ..." / "RESP * ...", ending in "\r\n").
  using TraceSink = std::function<void(std::string_view line)>;

  explicit FpuChannel(platform::Clock& clock = platform::SystemClock());
  virtual ~FpuChannel();  // stops the companion thread
  FpuChannel(const FpuChannel&) = delete;
  FpuChannel& operator=(const FpuChannel&) = delete;

  // The port is not owned. LINK_E_PROTOCOL while started.
  int32_t SetPort(SerialPort* port);
  // Job number '0', sequence 0, companion thread started. Answers 0.
  int32_t Start();
  // Stops and joins the companion thread, which wakes at once on the stop signal (so the
  // join stays far inside kStopWaitMs). Answers 0.
  int32_t Stop();
  // Purges input and writes the command (under the send lock).
  int32_t SendCommand(const FpuCommand& command);
  // Receives one frame into the response slot and copies the slot out.
  int32_t ReadResponse(FpuResponse* response);
  // One exchange with up to three attempts.
  int32_t Transact(FpuCommand& command, FpuResponse* response);
  // From any thread: the exchange in progress and every later one end at once with "no
  // answer" (106) until ResumeExchanges. For an owner that is closing the line and will not
  // wait out three receive time-outs of a printer that does not answer. A receive notices
  // it within one read step (at most about 50 ms while the line is silent).
  void AbortExchanges() { abort_.store(true); }
  void ResumeExchanges() { abort_.store(false); }
  // True when the attached port's descriptor is dead (SerialPort::lost): every exchange
  // then answers "no answer" (106) at once, without writing or waiting, until the owner
  // reopens the port.
  bool port_lost() const;
  // Fatal code, status word and reply code of the last valid response. Answers 0.
  int32_t GetLastStatus(int32_t* fatal, uint32_t* status, int32_t* reply);
  // On: in-progress replies are awaited with status queries instead of repeating the command.
  int32_t SetPollMode(bool on);
  bool poll_mode() const { return poll_mode_.load(); }

  // Traffic trace, switchable at run time from any thread; an empty sink switches it off.
  // The sink runs on the exchanging thread and must not call back into the channel.
  void SetTraceSink(TraceSink sink);

  // Introspection for the device layer and tests.
  int32_t sequence() const { return sequence_; }
  bool running() const { return thread_.joinable(); }

 protected:
  int32_t WriteFrame(FpuCommand& command);
  int32_t ReceiveFrame(FpuResponse* response);
  void Trace(std::string_view line);
  void TraceCommand(const FpuCommand& command);
  void TraceResponse(const FpuResponse& response);
  void CompanionBody();

  platform::Clock& clock_;
  SerialPort* port_ = nullptr;
  FpuCommand command_slot_;
  FpuResponse response_slot_;
  // Send lock: serialises writes to the port. Taken inside the command lock of FpuProtocol,
  // never the other way round.
  std::mutex send_lock_;
  int32_t sequence_ = 0;
  std::atomic<int32_t> next_job_{'0'};  // commands of any thread draw job numbers
  // Written under the command lock, read by GetLastStatus from any thread.
  std::atomic<int32_t> last_fatal_{0};
  std::atomic<uint32_t> last_status_{0};
  std::atomic<int32_t> last_reply_{0};
  std::atomic<bool> poll_mode_{false};
  std::thread thread_;
  // Stop lock: guards the stop flag for the companion thread's wait, so Stop wakes it at once.
  std::mutex stop_lock_;
  std::condition_variable stop_signal_;
  bool stop_ = false;
  // Set by AbortExchanges; read by the exchange in progress without a lock.
  std::atomic<bool> abort_{false};
  // Trace lock: guards the trace sink, which the owner may swap from another thread. It is
  // the innermost lock (taken inside the send lock); the sink must not call back into the
  // channel.
  std::mutex trace_lock_;
  TraceSink trace_sink_;
  std::atomic<bool> trace_on_{false};
  uint8_t send_buffer_[kSendBufferSize];
  uint8_t receive_chunk_[kReceiveBufferSize];
  FrameReceiver receiver_{FrameDirection::kResponse, kReceiveBufferSize};
};

}  // namespace kelo::link
