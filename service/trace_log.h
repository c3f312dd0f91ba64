// The library-wide trace log: one file (Windows-1252 text, each line prefixed with a local
// "hh:mm:ss.mmm  " time stamp) plus the process's debug sink (the message alone, as UTF-8).
//
// State shared by every unit in the process: an on/off switch (off at load), a level mask
// (all ones at load), the file name (empty at load) and the open file. The file is opened at
// the first line written after a name was set and then stays open for the life of the
// library; a later change of name does not reopen it.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace kelo::service::trace {

inline constexpr uint32_t kLevelConstruction = 1;
inline constexpr uint32_t kLevelMethods = 2;

// Formats in the manner of printf (into at most 64 KiB) and writes one line. The message is
// formatted exactly once: "%" inside the arguments reaches the file unchanged.
void Printf(uint32_t level, const char* format, ...) __attribute__((format(printf, 2, 3)));
// Writes an already formatted message (not formatted again).
void Write(uint32_t level, std::string_view message);

void SwitchOn();
void SwitchOff();
bool IsOn();
void SetLevelMask(uint32_t mask);
uint32_t LevelMask();
void SetFileName(std::string name);

// Tests only: closes the file and returns every piece of state to its value at load.
void ResetForTesting();

}  // namespace kelo::service::trace
