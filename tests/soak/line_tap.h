// A line between the driver and the simulator that can spoil what the simulator's faults
// cannot: it sits on a pseudo-terminal of its own (the driver opens tap.slave_path()) and
// relays bytes to and from a simulator started on the other end of a socket pair.
//
// Named triggers, each for the next answer frame only:
//   DamageNextSequence  rewrites the answer's sequence byte, which the check code does not
//                       cover, as a line error there would;
//   DelayNextAnswer     holds the answer (and everything after it) back for ms.
#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "simulator/simulator.h"

namespace kelo::soak {

class LineTap {
 public:
  LineTap() = default;
  ~LineTap();
  LineTap(const LineTap&) = delete;
  LineTap& operator=(const LineTap&) = delete;

  // Opens the pseudo-terminal, starts sim on one end of a socket pair and the relay thread.
  bool Start(sim::Simulator& sim, std::string* error);
  void Stop();
  const std::string& slave_path() const { return slave_path_; }

  void DamageNextSequence() { damage_next_ = true; }
  void DelayNextAnswer(uint32_t ms) { delay_next_ms_ = ms; }
  uint64_t answers_relayed() const { return answers_; }

 private:
  void Relay();
  // Takes bytes coming from the printer; spoils them when a trigger is armed.
  void FromPrinter(const uint8_t* data, size_t size);

  int master_ = -1;
  int slave_ = -1;  // kept open so the master never sees a hang-up between driver opens
  int printer_end_ = -1;
  int wake_ = -1;
  std::string slave_path_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> damage_next_{false};
  std::atomic<uint32_t> delay_next_ms_{0};
  std::atomic<uint64_t> answers_{0};
  // Relay-thread state: how much of an answer's head (0x01, kind, sequence) has passed.
  int header_pos_ = 0;
};

}  // namespace kelo::soak
