// The printer's end of the line: gathers command frames from the bytes that arrive, applies
// the exchange rules and hands each new command to the Printer once, then frames the answer
// and lets the fault injector spoil it on its way out.
//
// Exchange rules, as a printer keeps them:
// - a frame with a wrong check code is answered with kind 0x62 ("send again");
// - a command carrying the sequence number and the very bytes of the last executed command
//   is a resend (its answer was lost): the stored answer goes out again, nothing is executed;
// - a sequence number that is neither the last one, the next one nor 0 is out of step:
//   kind 0x63, nothing executed;
// - a command accepted "in progress" (reply 0x82) is executed at once; resends of the same
//   bytes get 0x82 until its time is up and then the real answer; status queries meanwhile
//   carry the running command's job number instead of 0xFF; any other command gets busy.
// Pure byte-in/bytes-out with an injected clock, so it runs in tests and in the fuzzer.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "link/fpu_frame.h"
#include "platform/os/clock.h"
#include "simulator/faults.h"
#include "simulator/printer.h"

namespace kelo::sim {

struct ExchangeCounters {
  uint64_t frames = 0;        // complete command frames received
  uint64_t executed = 0;      // commands handed to the printer
  uint64_t replays = 0;       // resends answered from the stored answer
  uint64_t bad_check = 0;     // answered with kind 0x62
  uint64_t out_of_step = 0;   // answered with kind 0x63
  uint64_t refused_busy = 0;  // other commands while one was in progress
  uint64_t ignored_off = 0;   // frames that arrived while the printer was off
  uint64_t discarded = 0;     // partial or oversized frames thrown away
  uint64_t bytes_in = 0;      // every byte received, noise included
  uint64_t bytes_out = 0;     // every byte sent back, noise included
};

class FrameServer {
 public:
  // A partial frame is dropped when its next byte is later than this (the driver gave up).
  static constexpr uint32_t kInterByteGapMs = 500;

  FrameServer(Printer& printer, FaultInjector& faults, platform::Clock& ticks);

  // Takes received bytes; appends the bytes to send back to *out.
  void OnBytes(const uint8_t* data, size_t size, std::vector<uint8_t>* out);

  // Switched off: no answers, nothing executed. Switching on runs the printer's power cycle.
  void SetPowered(bool on);
  bool powered() const { return powered_; }

  const ExchangeCounters& counters() const { return counters_; }

  // On a connection that can be dropped (a TCP client): the disconnect fault applies, and
  // TakeHangUp tells the server to close the connection instead of sending what OnBytes
  // produced.
  void SetConnectionDrops(bool on) { connection_drops_ = on; }
  bool TakeHangUp() { return std::exchange(hang_up_, false); }

 private:
  void OnFrame(std::span<const uint8_t> raw, std::vector<uint8_t>* out);
  std::vector<uint8_t> ResponseData(uint8_t job, uint8_t opcode, const Reply& reply);
  void Send(uint8_t kind, uint8_t sequence, const std::vector<uint8_t>& data,
            std::vector<uint8_t>* out);
  void Answer(uint8_t sequence, const std::vector<uint8_t>& data, std::vector<uint8_t>* out);
  Reply Run(uint8_t opcode, std::string_view payload);

  Printer& printer_;
  FaultInjector& faults_;
  platform::Clock& ticks_;
  link::FrameReceiver receiver_{link::FrameDirection::kCommand,
                                link::kMaxDataPart + link::kFrameOverhead};
  uint32_t last_byte_tick_ = 0;
  bool powered_ = true;
  bool connection_drops_ = false;
  bool hang_up_ = false;
  ExchangeCounters counters_;

  // The last command answered, for resends.
  bool have_last_ = false;
  uint8_t last_sequence_ = 0;
  std::vector<uint8_t> last_command_;  // its data part
  std::vector<uint8_t> last_answer_;   // data part of its answer
  bool last_executed_ = false;         // false for a busy answer: a resend must run it

  // Conditions injected for the answer being built (fatal code, status bits).
  uint8_t transient_fatal_ = 0;
  uint32_t transient_status_ = 0;

  // The command held in progress.
  bool in_progress_ = false;
  uint32_t progress_end_ = 0;
  std::vector<uint8_t> progress_command_;
  std::vector<uint8_t> progress_answer_;  // the real answer, sent when the time is up
};

}  // namespace kelo::sim
