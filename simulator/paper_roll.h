// The paper roll: every line the printer prints, as readable text.
//
// The printer works in Windows-1252 (the driver's code page), so lines are formatted byte by
// byte (one byte is one print column) and turned into UTF-8 only when they land on the roll.
// Print lines may carry the print-line escape sequences of the driver ("ESC|cA" centre,
// "ESC|2C" double width, "ESC|1F" feed, "ESC|5B" logo 5, ...); RenderPrintLine lays them out.
#pragma once
#include <cstddef>
#include <cstdio>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kelo::sim {

inline constexpr int kPaperColumns = 42;

std::string Cp1252ToUtf8(std::string_view text);

// Left text and right text on one line of `width` columns (the left part is cut to fit).
std::string Columns(std::string_view left, std::string_view right, int width = kPaperColumns);
std::string Centered(std::string_view text, int width = kPaperColumns);

// Lays out one print line (Windows-1252 bytes, escape sequences allowed) as paper lines of at
// most `width` columns. `logo` answers the placeholder text of a logo number. Control bytes
// other than the escape sequences print as blanks; text longer than the width wraps.
std::vector<std::string> RenderPrintLine(std::string_view line, int width,
                                         const std::function<std::string(int)>& logo);

class PaperRoll {
 public:
  // The roll keeps the newest kMaxLines lines in memory (a soak test prints millions);
  // total_lines() still counts them all and the mirror file keeps everything.
  static constexpr size_t kMaxLines = 200000;

  PaperRoll() = default;
  ~PaperRoll();
  PaperRoll(const PaperRoll&) = delete;
  PaperRoll& operator=(const PaperRoll&) = delete;

  // Appends every later line, in UTF-8, to the file at path. False with a reason on failure.
  bool MirrorTo(const std::string& path, std::string* error);

  // Prints one already laid-out line (Windows-1252).
  void Print(std::string_view line);
  void Feed(int lines);

  std::vector<std::string> Lines() const { return {lines_.begin(), lines_.end()}; }
  // Lines printed since the mark returned by total_lines() earlier.
  std::vector<std::string> LinesSince(size_t mark) const;
  std::string Text() const;  // every kept line followed by '\n'
  size_t total_lines() const { return total_; }
  void Clear();

 private:
  std::deque<std::string> lines_;
  size_t total_ = 0;
  std::FILE* mirror_ = nullptr;
};

}  // namespace kelo::sim
