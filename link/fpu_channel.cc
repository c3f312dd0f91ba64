#include "link/fpu_channel.h"

#include <chrono>
#include <cstdio>

namespace kelo::link {

FpuChannel::FpuChannel(platform::Clock& clock) : clock_(clock) {}

FpuChannel::~FpuChannel() {
  Stop();
}

int32_t FpuChannel::SetPort(SerialPort* port) {
  if (running()) return LINK_E_PROTOCOL;
  port_ = port;
  return LINK_OK;
}

int32_t FpuChannel::Start() {
  next_job_ = '0';
  sequence_ = 0;
  if (running()) return LINK_OK;
  {
    std::lock_guard<std::mutex> lock(stop_lock_);
    stop_ = false;
  }
  thread_ = std::thread([this] { CompanionBody(); });
  return LINK_OK;
}

int32_t FpuChannel::Stop() {
  if (!running()) return LINK_OK;
  {
    std::lock_guard<std::mutex> lock(stop_lock_);
    stop_ = true;
  }
  stop_signal_.notify_all();
  // The companion wakes on the signal at once and ends; it never blocks on anything else,
  // so the join is bounded by one wake-up, well inside kStopWaitMs.
  thread_.join();
  return LINK_OK;
}

void FpuChannel::CompanionBody() {
  // The companion does no I/O; it idles in 100 ms steps until told to stop. It waits in
  // real time on purpose: it must not advance or depend on the exchange clock.
  std::unique_lock<std::mutex> lock(stop_lock_);
  while (!stop_) {
    stop_signal_.wait_for(lock, std::chrono::milliseconds(kCompanionStepMs));
  }
}

int32_t FpuChannel::SetPollMode(bool on) {
  poll_mode_ = on;
  return LINK_OK;
}

bool FpuChannel::port_lost() const {
  return port_ != nullptr && port_->lost();
}

int32_t FpuChannel::GetLastStatus(int32_t* fatal, uint32_t* status, int32_t* reply) {
  if (fatal) *fatal = last_fatal_;
  if (status) *status = last_status_;
  if (reply) *reply = last_reply_;
  return LINK_OK;
}

void FpuChannel::SetTraceSink(TraceSink sink) {
  std::lock_guard<std::mutex> lock(trace_lock_);
  trace_on_ = static_cast<bool>(sink);
  trace_sink_ = std::move(sink);
}

void FpuChannel::Trace(std::string_view line) {
  std::lock_guard<std::mutex> lock(trace_lock_);
  if (trace_sink_) trace_sink_(line);
}

void FpuChannel::TraceCommand(const FpuCommand& command) {
  if (!trace_on_) return;
  char line[128];
  int n = std::snprintf(line, sizeof line, "CMD  * OPCODE:%X  -  SEQ#:%02x  -  JOB:%02X\r\n",
                        static_cast<unsigned>(command.GetOpcode()),
                        static_cast<unsigned>(command.GetSequence()),
                        static_cast<unsigned>(command.GetJob()));
  Trace(std::string_view(line, static_cast<size_t>(n)));
}

void FpuChannel::TraceResponse(const FpuResponse& response) {
  if (!trace_on_) return;
  char line[192];
  int n = std::snprintf(
      line, sizeof line,
      "RESP * OPCODE:%X  -  SEQ#:%02x  -  JOB:%02X  -  FATAL=%04X  -  "
      "STATUS=%04X  -  REPLYCODE=%02X\r\n",
      static_cast<unsigned>(response.GetOpcode()), static_cast<unsigned>(response.GetSequence()),
      static_cast<unsigned>(response.GetJob()), static_cast<unsigned>(response.GetFatal()),
      static_cast<unsigned>(response.GetStatus()), static_cast<unsigned>(response.GetReply()));
  Trace(std::string_view(line, static_cast<size_t>(n)));
}

int32_t FpuChannel::WriteFrame(FpuCommand& command) {
  int32_t r = command.Build();
  if (r != LINK_OK) return r;
  size_t length = 0;
  // A frame larger than the send buffer is not written.
  if (command.CopyRawFrame(send_buffer_, sizeof send_buffer_, &length) != LINK_OK) {
    return LINK_E_PROTOCOL;
  }
  uint32_t written = 0;
  port_->Write(send_buffer_, static_cast<uint32_t>(length), &written);
  TraceCommand(command);
  return LINK_OK;
}

int32_t FpuChannel::SendCommand(const FpuCommand& command) {
  std::lock_guard<std::mutex> lock(send_lock_);
  if (port_ == nullptr) return LINK_E_PROTOCOL;
  command_slot_ = command;
  // Stale bytes of an earlier exchange must not be taken for this answer.
  port_->PurgeInput();
  return WriteFrame(command_slot_);
}

int32_t FpuChannel::ReceiveFrame(FpuResponse* response) {
  TickTimer deadline(clock_, kReceiveDeadlineMs);
  receiver_.Reset();
  if (port_ == nullptr) return LINK_E_TIMEOUT;
  while (!receiver_.done()) {
    // A port known dead answers nothing: no answer, at once rather than at the deadline.
    if (abort_.load() || port_->lost()) return LINK_E_TIMEOUT;
    // Until the length is known the whole buffer may be filled in one read; afterwards
    // exactly the missing bytes are asked for, so nothing past the frame is taken. The
    // time-outs of each read follow the bytes the current state needs (one while hunting),
    // which keeps the deadline checked at least every 50 ms while the line is silent.
    bool length_known = receiver_.state() == FrameReceiver::State::kData ||
                        receiver_.state() == FrameReceiver::State::kCheck;
    uint32_t capacity = length_known ? static_cast<uint32_t>(receiver_.Missing())
                                     : static_cast<uint32_t>(sizeof receive_chunk_);
    // The deadline bounds every read as well, so a frame that stops half-way (one long
    // data read of up to 20 + 30 x 493 ms) cannot hold the caller past it.
    uint32_t remaining = deadline.Remaining();
    if (remaining == 0) return LINK_E_TIMEOUT;
    uint32_t got = 0;
    port_->ReadAvailable(receive_chunk_, capacity, static_cast<uint32_t>(receiver_.StepSize()),
                         &got, remaining);
    if (got > 0) receiver_.Feed(receive_chunk_, got);
    if (receiver_.oversize()) return LINK_E_PROTOCOL;  // cannot be taken in: never overrun
  }
  auto frame = receiver_.frame();
  int32_t r = response->SetRawFrame(frame.data(), frame.size());
  if (r == LINK_OK) r = response->Parse();
  if (r == LINK_OK) TraceResponse(*response);
  return r;
}

int32_t FpuChannel::ReadResponse(FpuResponse* response) {
  int32_t r = ReceiveFrame(&response_slot_);
  if (r == LINK_OK) {
    last_fatal_ = response_slot_.GetFatal();
    last_status_ = response_slot_.GetStatus();
    last_reply_ = response_slot_.GetReply();
  }
  *response = response_slot_;
  return r;
}

int32_t FpuChannel::Transact(FpuCommand& command, FpuResponse* response) {
  int32_t result = LINK_E_TIMEOUT;
  for (int attempt = 0; attempt < kTransactAttempts; ++attempt) {
    if (abort_.load() || port_lost()) {
      result = LINK_E_TIMEOUT;
      break;
    }
    command.SetSequence(sequence_);
    result = SendCommand(command);
    if (result == LINK_OK) result = ReadResponse(response);
    if (result == LINK_OK) {
      switch (response->GetFrameKind()) {
        case kResponseKindNormal:
          if (response->GetSequence() != sequence_) {
            sequence_ = 0;
            // The check code does not cover the sequence byte. An answer that carries this
            // command's job number and opcode is the printer's answer to this very command,
            // so the command was done: sending it again under a fresh sequence number would
            // make the printer do it twice. Take the answer and start the next command in
            // step again from 0.
            const bool own_answer = command.GetOpcode() != kOpQueryStatus &&
                                    response->GetJob() == command.GetJob() &&
                                    response->GetOpcode() == command.GetOpcode();
            result = own_answer ? LINK_OK : LINK_E_PROTOCOL;
          } else if (command.GetOpcode() != kOpQueryStatus &&
                     response->GetJob() != command.GetJob()) {
            result = LINK_E_PROTOCOL;
          } else if (response->GetOpcode() != command.GetOpcode()) {
            result = LINK_E_PROTOCOL;
          } else {
            // 0 only follows Start or a reset: after 127 comes 1.
            sequence_ = sequence_ + 1 >= 128 ? 1 : sequence_ + 1;
          }
          break;
        case kResponseKindResend:
          result = LINK_E_CHECK;
          break;
        case kResponseKindReset:
          sequence_ = 0;
          result = LINK_E_PROTOCOL;
          break;
        default:
          break;  // other answers of the family are taken as they are
      }
    }
    if (result == LINK_OK) break;
  }
  if (result == LINK_E_TIMEOUT) sequence_ = 0;
  return result;
}

}  // namespace kelo::link
