// The --state file: fiscal memory, counters, day totals, journal, settings and stored
// graphics, kept across runs. A line-based text file ("kelofpu-sim-state 1" first), every
// text field escaped so that it is one blank-free token. Written crash-safe: a temporary
// file beside it, fsync, rename over the old one.
#pragma once
#include <string>

namespace kelo::sim {

class Printer;

// Answers false with a reason; the printer is not touched when loading fails.
bool SaveState(Printer& printer, const std::string& path, std::string* error);
bool LoadState(Printer& printer, const std::string& path, std::string* error);
// The same from and to text (for tests and the fuzzer).
std::string StateToText(Printer& printer);
bool StateFromText(Printer& printer, const std::string& text, std::string* error);

}  // namespace kelo::sim
