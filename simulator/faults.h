// Fault injection: what goes wrong on the line and in the printer, at random rates (the
// --faults specification, repeatable with a seed) or on demand from a test. The frame server
// asks for one decision per answer and counts what it injected.
//
// Faults never break the exchange rules: a corrupted, dropped or truncated answer belongs to
// a command that was executed once and whose answer is replayed when the driver sends it
// again; a busy answer belongs to a command that was not executed.
#pragma once
#include <cstdint>
#include <random>
#include <string>
#include <string_view>

namespace kelo::sim {

struct FaultRates {
  double corrupt = 0;     // answer with a wrong check code
  double drop = 0;        // no answer (the command was executed)
  double truncate = 0;    // only the first part of the answer
  double noise = 0;       // stray bytes before the answer
  double busy = 0;        // reply 0x81, command not executed
  double inprogress = 0;  // reply 0x82 for inprogress_ms, then the real answer
  double error = 0;       // a printer error (fatal code) on one answer; printing refused
  double cover = 0;       // cover open on one answer; printing refused
  double nearend = 0;     // paper near end on one answer
  double paperout = 0;    // paper out on one answer; printing refused
  // The connection closes instead of the answer (the command was executed); only on a TCP
  // listener, where a serial device server can lose its client.
  double disconnect = 0;
  uint32_t inprogress_ms = 300;
};

// The rate names of a fault specification, each with the rate it sets: the one list the
// parser, its messages and the program's help are made from.
struct FaultRateName {
  std::string_view name;
  double FaultRates::*rate;
};
inline constexpr FaultRateName kFaultRateNames[] = {
    {"corrupt", &FaultRates::corrupt},
    {"drop", &FaultRates::drop},
    {"truncate", &FaultRates::truncate},
    {"noise", &FaultRates::noise},
    {"busy", &FaultRates::busy},
    {"inprogress", &FaultRates::inprogress},
    {"error", &FaultRates::error},
    {"cover", &FaultRates::cover},
    {"nearend", &FaultRates::nearend},
    {"paperout", &FaultRates::paperout},
    {"disconnect", &FaultRates::disconnect},
};
// The rate names separated by ", " (for messages and help texts).
std::string FaultRateNamesText();

// "corrupt=0.01,drop=0.01,inprogress=0.02,inprogress_ms=500". Rates are 0 to 1. An empty
// text gives no faults. False, with a message naming the bad part, on anything else.
bool ParseFaultSpec(std::string_view spec, FaultRates* rates, std::string* error);

struct FaultCounters {
  uint64_t corrupted = 0;
  uint64_t dropped = 0;
  uint64_t truncated = 0;
  uint64_t noise = 0;
  uint64_t busy = 0;
  uint64_t inprogress = 0;  // commands held in progress
  uint64_t errors = 0;
  uint64_t cover = 0;
  uint64_t nearend = 0;
  uint64_t paperout = 0;
  uint64_t disconnected = 0;
};

class FaultInjector {
 public:
  explicit FaultInjector(FaultRates rates = {}, uint64_t seed = 1);

  void SetRates(const FaultRates& rates) { rates_ = rates; }
  const FaultRates& rates() const { return rates_; }

  // ---- On demand: the next n answers get the fault ----
  // With an opcode only answers to that command count (so that a driver's background status
  // polls do not use up a fault meant for a receipt command); kAnyOpcode takes any answer.
  static constexpr int kAnyOpcode = -1;
  void BusyNext(int n, int opcode = kAnyOpcode) { busy_next_ = {n, opcode}; }
  // skip: that many matching answers go through first.
  void DropNext(int n, int opcode = kAnyOpcode, int skip = 0) { drop_next_ = {n, opcode, skip}; }
  void CorruptNext(int n, int opcode = kAnyOpcode) { corrupt_next_ = {n, opcode}; }
  void TruncateNext(int n, int opcode = kAnyOpcode) { truncate_next_ = {n, opcode}; }
  void NoiseNext(int n, int opcode = kAnyOpcode) { noise_next_ = {n, opcode}; }
  // The connection closes instead of the next n matching answers (TCP listener only).
  void DisconnectNext(int n, int opcode = kAnyOpcode, int skip = 0) {
    disconnect_next_ = {n, opcode, skip};
  }
  // The next command that completes without reply fields stays in progress for ms.
  void InProgressNext(uint32_t ms, int opcode = kAnyOpcode) {
    inprogress_next_ = {1, opcode};
    inprogress_next_ms_ = ms;
  }

  // ---- Decisions, one per answer, for the command with this opcode ----
  bool TakeBusy(int opcode);
  bool TakeInProgress(int opcode, uint32_t* ms);
  bool TakeDrop(int opcode);
  bool TakeDisconnect(int opcode);
  bool TakeTruncate(int opcode, size_t frame_size, size_t* keep);
  bool TakeCorrupt(int opcode);
  bool TakeNoise(int opcode, std::string* bytes);
  // Transient printer conditions for one answer; each true means "apply it now".
  bool TakeError(uint8_t* fatal);
  bool TakeCover();
  bool TakeNearEnd();
  bool TakePaperOut();

  const FaultCounters& counters() const { return counters_; }

 private:
  struct Demand {
    int count = 0;
    int opcode = kAnyOpcode;
    int skip = 0;
    bool Take(int op) {
      if (count <= 0 || (opcode != kAnyOpcode && opcode != op)) return false;
      if (skip > 0) {
        --skip;
        return false;
      }
      --count;
      return true;
    }
  };
  bool Roll(double rate);

  FaultRates rates_;
  std::mt19937_64 rng_;
  FaultCounters counters_;
  Demand busy_next_;
  Demand drop_next_;
  Demand disconnect_next_;
  Demand corrupt_next_;
  Demand truncate_next_;
  Demand noise_next_;
  Demand inprogress_next_;
  uint32_t inprogress_next_ms_ = 0;
};

}  // namespace kelo::sim
