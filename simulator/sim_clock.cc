#include "simulator/sim_clock.h"

#include <chrono>
#include <cstdio>
#include <thread>

namespace kelo::sim {

// Howard Hinnant's civil-date algorithms: exact for every proleptic Gregorian date.
int64_t DaysFromCivil(int year, int month, int day) {
  const int64_t y = static_cast<int64_t>(year) - (month <= 2 ? 1 : 0);
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t mp = (month + 9) % 12;
  const int64_t doy = (153 * mp + 2) / 5 + day - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t days, int* year, int* month, int* day) {
  const int64_t z = days + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int64_t d = doy - (153 * mp + 2) / 5 + 1;
  const int64_t m = mp < 10 ? mp + 3 : mp - 9;
  *year = static_cast<int>(yoe + era * 400 + (m <= 2 ? 1 : 0));
  *month = static_cast<int>(m);
  *day = static_cast<int>(d);
}

int64_t ToEpochSeconds(const CivilTime& t) {
  return DaysFromCivil(t.year, t.month, t.day) * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
}

CivilTime FromEpochSeconds(int64_t seconds) {
  int64_t days = seconds / 86400;
  int64_t rest = seconds % 86400;
  if (rest < 0) {
    rest += 86400;
    --days;
  }
  CivilTime t;
  CivilFromDays(days, &t.year, &t.month, &t.day);
  t.hour = static_cast<int>(rest / 3600);
  t.minute = static_cast<int>(rest % 3600 / 60);
  t.second = static_cast<int>(rest % 60);
  return t;
}

bool IsValidDate(int year, int month, int day) {
  if (year < 2000 || year > 2099 || month < 1 || month > 12 || day < 1) return false;
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  int limit = kDays[month - 1];
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  if (month == 2 && leap) limit = 29;
  return day <= limit;
}

bool IsValidTime(int hour, int minute, int second) {
  return hour >= 0 && hour < 24 && minute >= 0 && minute < 60 && second >= 0 && second < 60;
}

int32_t DateKey(const CivilTime& t) {
  return t.year * 10000 + t.month * 100 + t.day;
}

std::string FormatPrinted(const CivilTime& t) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%02d-%02d-%04d %02d:%02d", t.day, t.month, t.year, t.hour,
                t.minute);
  return buf;
}

uint32_t SteadyTicks::TickMs() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

void SteadyTicks::SleepMs(uint32_t ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

PrinterClock::PrinterClock(platform::Clock& ticks, CivilTime start)
    : ticks_(ticks), epoch_ms_(ToEpochSeconds(start) * 1000), last_tick_(ticks.TickMs()) {}

void PrinterClock::Catch() {
  const uint32_t now = ticks_.TickMs();
  if (running_) epoch_ms_ += platform::TicksSince(last_tick_, now);
  last_tick_ = now;
}

CivilTime PrinterClock::Now() {
  Catch();
  return FromEpochSeconds(epoch_ms_ / 1000);
}

void PrinterClock::Set(const CivilTime& t) {
  Catch();
  epoch_ms_ = ToEpochSeconds(t) * 1000;
}

void PrinterClock::SetRunning(bool running) {
  Catch();
  running_ = running;
}

void PrinterClock::AdvanceSeconds(int64_t seconds) {
  Catch();
  epoch_ms_ += seconds * 1000;
}

}  // namespace kelo::sim
