#include "simulator/faults.h"

#include <cerrno>
#include <cstdlib>

namespace kelo::sim {

std::string FaultRateNamesText() {
  std::string text;
  for (const FaultRateName& entry : kFaultRateNames) {
    if (!text.empty()) text += ", ";
    text += entry.name;
  }
  return text;
}

bool ParseFaultSpec(std::string_view spec, FaultRates* rates, std::string* error) {
  FaultRates r;
  size_t start = 0;
  while (start < spec.size()) {
    size_t end = spec.find(',', start);
    if (end == std::string_view::npos) end = spec.size();
    const std::string_view item = spec.substr(start, end - start);
    start = end + 1;
    if (item.empty()) continue;
    const size_t eq = item.find('=');
    if (eq == std::string_view::npos || eq == 0 || eq + 1 == item.size()) {
      *error = "fault \"" + std::string(item) + "\" is not NAME=VALUE";
      return false;
    }
    const std::string name(item.substr(0, eq));
    const std::string value(item.substr(eq + 1));
    char* tail = nullptr;
    errno = 0;
    const double v = std::strtod(value.c_str(), &tail);
    if (errno != 0 || tail == value.c_str() || *tail != '\0' || !(v >= 0)) {
      *error = "fault \"" + name + "\" has a bad value \"" + value + "\"";
      return false;
    }
    if (name == "inprogress_ms") {
      if (v > 600000 || v != static_cast<double>(static_cast<uint32_t>(v))) {
        *error = "inprogress_ms must be a whole number of milliseconds up to 600000";
        return false;
      }
      r.inprogress_ms = static_cast<uint32_t>(v);
      continue;
    }
    if (v > 1) {
      *error = "fault rate \"" + name + "\" must lie between 0 and 1";
      return false;
    }
    double* target = nullptr;
    for (const FaultRateName& entry : kFaultRateNames) {
      if (entry.name == name) target = &(r.*entry.rate);
    }
    if (!target) {
      *error =
          "unknown fault \"" + name + "\" (known: " + FaultRateNamesText() + ", inprogress_ms)";
      return false;
    }
    *target = v;
  }
  *rates = r;
  return true;
}

FaultInjector::FaultInjector(FaultRates rates, uint64_t seed) : rates_(rates), rng_(seed) {}

bool FaultInjector::Roll(double rate) {
  if (rate <= 0) return false;
  return std::uniform_real_distribution<double>(0.0, 1.0)(rng_) < rate;
}

bool FaultInjector::TakeBusy(int opcode) {
  if (busy_next_.Take(opcode) || Roll(rates_.busy)) {
    counters_.busy++;
    return true;
  }
  return false;
}

bool FaultInjector::TakeInProgress(int opcode, uint32_t* ms) {
  if (inprogress_next_.Take(opcode)) {
    *ms = inprogress_next_ms_;
  } else if (Roll(rates_.inprogress)) {
    *ms = rates_.inprogress_ms;
  } else {
    return false;
  }
  counters_.inprogress++;
  return true;
}

bool FaultInjector::TakeDrop(int opcode) {
  if (drop_next_.Take(opcode) || Roll(rates_.drop)) {
    counters_.dropped++;
    return true;
  }
  return false;
}

bool FaultInjector::TakeDisconnect(int opcode) {
  if (disconnect_next_.Take(opcode) || Roll(rates_.disconnect)) {
    counters_.disconnected++;
    return true;
  }
  return false;
}

bool FaultInjector::TakeTruncate(int opcode, size_t frame_size, size_t* keep) {
  if (frame_size < 2) return false;
  if (truncate_next_.Take(opcode) || Roll(rates_.truncate)) {
    *keep = std::uniform_int_distribution<size_t>(1, frame_size - 1)(rng_);
    counters_.truncated++;
    return true;
  }
  return false;
}

bool FaultInjector::TakeCorrupt(int opcode) {
  if (corrupt_next_.Take(opcode) || Roll(rates_.corrupt)) {
    counters_.corrupted++;
    return true;
  }
  return false;
}

bool FaultInjector::TakeNoise(int opcode, std::string* bytes) {
  if (!(noise_next_.Take(opcode) || Roll(rates_.noise))) return false;
  // Line noise the driver must skip: never a start byte that could swallow the real frame,
  // except as a start byte followed by a kind no answer has.
  const int n = std::uniform_int_distribution<int>(1, 8)(rng_);
  bytes->clear();
  for (int i = 0; i < n; ++i) {
    uint8_t b = static_cast<uint8_t>(std::uniform_int_distribution<int>(0, 255)(rng_));
    if (b == 0x01) {
      bytes->push_back(0x01);
      b = 0x20;  // outside 0x60..0x6F, so the pair is dropped
    }
    bytes->push_back(static_cast<char>(b));
  }
  counters_.noise++;
  return true;
}

bool FaultInjector::TakeError(uint8_t* fatal) {
  if (!Roll(rates_.error)) return false;
  static const uint8_t kCodes[] = {129, 130, 131, 132, 133, 134, 136, 137, 138, 139};
  *fatal = kCodes[std::uniform_int_distribution<size_t>(0, std::size(kCodes) - 1)(rng_)];
  counters_.errors++;
  return true;
}

bool FaultInjector::TakeCover() {
  if (!Roll(rates_.cover)) return false;
  counters_.cover++;
  return true;
}

bool FaultInjector::TakeNearEnd() {
  if (!Roll(rates_.nearend)) return false;
  counters_.nearend++;
  return true;
}

bool FaultInjector::TakePaperOut() {
  if (!Roll(rates_.paperout)) return false;
  counters_.paperout++;
  return true;
}

}  // namespace kelo::sim
