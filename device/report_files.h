// Report data collected from the printer into a file on the PC: the pieces go to a fresh
// temporary file first, which then replaces the destination file or is appended to it line
// by line. The temporary file is created exclusively under an unpredictable name (owner
// only) and removed whatever happens.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace kelo::device {

// What the printer side of a report offers: the command that prepares the report data, and
// the read of one piece of it.
class ReportSource {
 public:
  virtual ~ReportSource() = default;
  // The link result of the report's start command.
  virtual int32_t Start() = 0;
  // One piece of report data; *more is non-zero while further pieces follow.
  virtual int32_t ReadPiece(int32_t* more, std::string* piece) = 0;
};

enum class ReportFileMode { kAppend, kReplace };

struct ReportFileOptions {
  // Folder of the temporary file; empty: $TMPDIR, else /tmp.
  std::string temp_dir;
  // Leave the destination alone when no report data arrived (the requested report).
  bool skip_when_empty = false;
  // Report data beyond this ends the collection as a failure (a printer that never stops
  // saying "more follows" must not fill the disk).
  size_t max_bytes = 64u * 1024 * 1024;
};

struct ReportFileOutcome {
  // The start command's failure, else that of the last read (0 when all succeeded).
  int32_t link_result = 0;
  // 0, or the OPOS code of a file failure (109 no temporary file, 111 destination or
  // temporary file not written) with a text naming the file. Takes precedence over
  // link_result, since the data did not reach the file.
  int32_t file_code = 0;
  std::string file_text;
  // Bytes of report data received.
  size_t bytes = 0;
};

// Runs the report: temporary file, start, pieces, then the destination; see above. Pieces
// read before a failing read are still stored.
ReportFileOutcome CollectReportToFile(ReportSource& source, const std::string& destination,
                                      ReportFileMode mode, const ReportFileOptions& options);

// $TMPDIR when set and not empty, else /tmp.
std::string DefaultTempDir();

// The prefix of the temporary file's name (followed by six random characters).
inline constexpr char kReportTempPrefix[] = "rep";

}  // namespace kelo::device
