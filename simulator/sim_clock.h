// The printer's own calendar clock. A real printer keeps a battery-backed clock that the
// driver sets; here it is a civil date-time that either runs with a tick source or stands
// still (tests freeze it so that paper output is the same on every run).
#pragma once
#include <cstdint>
#include <string>

#include "platform/os/clock.h"

namespace kelo::sim {

struct CivilTime {
  int year = 2026;
  int month = 1;
  int day = 1;
  int hour = 9;
  int minute = 0;
  int second = 0;
  friend bool operator==(const CivilTime&, const CivilTime&) = default;
};

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
int64_t DaysFromCivil(int year, int month, int day);
void CivilFromDays(int64_t days, int* year, int* month, int* day);
int64_t ToEpochSeconds(const CivilTime& t);
CivilTime FromEpochSeconds(int64_t seconds);
bool IsValidDate(int year, int month, int day);
bool IsValidTime(int hour, int minute, int second);
// YYYYMMDD as a number, for date comparisons.
int32_t DateKey(const CivilTime& t);
// "DD-MM-YYYY HH:MM", the form printed on documents.
std::string FormatPrinted(const CivilTime& t);

// A monotonic millisecond tick over std::chrono::steady_clock, for programs and tests that
// run in real time.
class SteadyTicks : public platform::Clock {
 public:
  uint32_t TickMs() override;
  void SleepMs(uint32_t ms) override;
};

class PrinterClock {
 public:
  // Starts at `start`, standing still until SetRunning(true).
  explicit PrinterClock(platform::Clock& ticks, CivilTime start = CivilTime{});

  CivilTime Now();
  void Set(const CivilTime& t);  // the caller has validated it
  void SetRunning(bool running);
  bool running() const { return running_; }
  void AdvanceSeconds(int64_t seconds);

 private:
  void Catch();  // folds the ticks elapsed since the last look into the time

  platform::Clock& ticks_;
  int64_t epoch_ms_;
  uint32_t last_tick_;
  bool running_ = false;
};

}  // namespace kelo::sim
