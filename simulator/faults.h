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
  uint32_t inprogress_ms = 300;
};

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
};

class FaultInjector {
 public:
  explicit FaultInjector(FaultRates rates = {}, uint64_t seed = 1);

  void SetRates(const FaultRates& rates) { rates_ = rates; }
  const FaultRates& rates() const { return rates_; }

  // ---- On demand: the next n answers get the fault ----
  void BusyNext(int n) { busy_next_ += n; }
  void DropNext(int n) { drop_next_ += n; }
  void CorruptNext(int n) { corrupt_next_ += n; }
  void TruncateNext(int n) { truncate_next_ += n; }
  void NoiseNext(int n) { noise_next_ += n; }
  // The next command that completes without reply fields stays in progress for ms.
  void InProgressNext(uint32_t ms) { inprogress_next_ms_ = ms; }

  // ---- Decisions, one per answer ----
  bool TakeBusy();
  bool TakeInProgress(uint32_t* ms);
  bool TakeDrop();
  bool TakeTruncate(size_t frame_size, size_t* keep);
  bool TakeCorrupt();
  bool TakeNoise(std::string* bytes);
  // Transient printer conditions for one answer; each true means "apply it now".
  bool TakeError(uint8_t* fatal);
  bool TakeCover();
  bool TakeNearEnd();
  bool TakePaperOut();

  const FaultCounters& counters() const { return counters_; }

 private:
  bool Roll(double rate);
  static bool TakeCount(int* n);

  FaultRates rates_;
  std::mt19937_64 rng_;
  FaultCounters counters_;
  int busy_next_ = 0;
  int drop_next_ = 0;
  int corrupt_next_ = 0;
  int truncate_next_ = 0;
  int noise_next_ = 0;
  uint32_t inprogress_next_ms_ = 0;
};

}  // namespace kelo::sim
