// The macro file: one command per line, each ended by CR LF.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kelo::macro {

// Lines a macro holds at most (indexes 0 to 10000).
inline constexpr size_t kMaxMacroLines = 10001;
// Fields a macro line holds at most (keyword plus 100 arguments).
inline constexpr size_t kMaxMacroFields = 101;

// The longest line a macro can usefully hold (a keyword, 100 arguments and their separators),
// and so the largest macro file: more than that is refused before anything is read.
inline constexpr size_t kMaxMacroLineBytes = 8192;
inline constexpr size_t kMaxMacroFileBytes = kMaxMacroLines * (kMaxMacroLineBytes + 2);

// Reads a macro file whole. Refused, with *error saying why: what is not a regular file
// (a device such as /dev/zero, a FIFO, a folder), a file larger than kMaxMacroFileBytes, a
// read error.
bool ReadMacroFile(const std::string& path, std::string* data, std::string* error);

// Splits file contents into lines. A line ends at CR LF, at a lone CR or at a lone LF (files
// edited on Linux); the end of the data ends the last line, and a terminator at the very end
// does not add an empty line. Empty lines are kept. Text that is not valid UTF-8 is read as
// Windows-1252 (files written by the original program) and converted. More than max_lines
// lines fails with *error saying so, and *lines is left untouched.
bool ParseMacroText(std::string_view data, std::vector<std::string>* lines, std::string* error,
                    size_t max_lines = kMaxMacroLines);

// Each line followed by CR LF.
std::string SerializeMacro(const std::vector<std::string>& lines);

// Splits a command line at every "$".
std::vector<std::string> SplitFields(std::string_view line);

}  // namespace kelo::macro
