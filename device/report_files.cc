#include "device/report_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/os/safe_file.h"

#include "opos/opos_constants.h"

namespace kelo::device {

namespace {

constexpr int32_t kNoTempFile = 109;  // OPOS_E_NOEXIST

// The temporary file: created exclusively, closed and removed by the destructor.
class TempFile {
 public:
  explicit TempFile(const std::string& dir) {
    std::string pattern = (dir.empty() ? DefaultTempDir() : dir) + "/" + kReportTempPrefix;
    pattern += "XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    fd_ = ::mkstemp(name.data());
    if (fd_ >= 0) {
      path_ = name.data();
      // mkstemp already creates it owner-only; say so explicitly whatever the umask did.
      ::fchmod(fd_, S_IRUSR | S_IWUSR);
    }
  }
  ~TempFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!path_.empty()) ::unlink(path_.c_str());
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  bool ok() const { return fd_ >= 0; }
  int fd() const { return fd_; }

 private:
  int fd_ = -1;
  std::string path_;
};

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// The whole temporary file back (it holds at most max_bytes).
bool ReadBack(int fd, std::string* out) {
  out->clear();
  if (::lseek(fd, 0, SEEK_SET) != 0) return false;
  char buffer[8192];
  while (true) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) return true;
    out->append(buffer, static_cast<size_t>(n));
  }
}

// Append mode: each line of the report data followed by "\n" (a line end "\r\n" counts as
// one line end, as a text-mode read sees it).
std::string AsLines(const std::string& data) {
  std::string out;
  out.reserve(data.size() + 1);
  size_t start = 0;
  while (start < data.size()) {
    size_t end = data.find('\n', start);
    const size_t next = end == std::string::npos ? data.size() : end + 1;
    if (end == std::string::npos) end = data.size();
    size_t line_end = end;
    if (line_end > start && data[line_end - 1] == '\r') --line_end;
    out.append(data, start, line_end - start);
    out += '\n';
    start = next;
  }
  return out;
}

}  // namespace

std::string DefaultTempDir() {
  const char* dir = std::getenv("TMPDIR");
  if (dir != nullptr && dir[0] != '\0') return dir;
  return "/tmp";
}

ReportFileOutcome CollectReportToFile(ReportSource& source, const std::string& destination,
                                      ReportFileMode mode, const ReportFileOptions& options) {
  ReportFileOutcome outcome;
  TempFile temp(options.temp_dir);
  if (!temp.ok()) {
    outcome.file_code = kNoTempFile;
    outcome.file_text = "Cannot create a temporary report file in " +
                        (options.temp_dir.empty() ? DefaultTempDir() : options.temp_dir);
    return outcome;
  }

  outcome.link_result = source.Start();
  if (outcome.link_result != 0) return outcome;

  while (true) {
    int32_t more = 0;
    std::string piece;
    outcome.link_result = source.ReadPiece(&more, &piece);
    if (outcome.link_result != 0) break;
    if (piece.size() > options.max_bytes - outcome.bytes) {
      outcome.file_code = opos::OPOS_E_FAILURE;
      outcome.file_text = "The report data is too large for " + destination;
      return outcome;
    }
    if (!WriteAll(temp.fd(), piece.data(), piece.size())) {
      outcome.file_code = opos::OPOS_E_FAILURE;
      outcome.file_text = "Cannot write the temporary file of the report for " + destination;
      return outcome;
    }
    outcome.bytes += piece.size();
    if (more == 0) break;
  }

  std::string data;
  if (!ReadBack(temp.fd(), &data)) {
    outcome.file_code = opos::OPOS_E_FAILURE;
    outcome.file_text = "Cannot read the temporary file of the report for " + destination;
    return outcome;
  }
  if (data.empty() && options.skip_when_empty) return outcome;

  const int flags =
      O_WRONLY | O_CREAT | O_CLOEXEC | (mode == ReportFileMode::kReplace ? O_TRUNC : O_APPEND);
  // Only a regular file: a FIFO there would block the worker, a link would be followed.
  const int fd = platform::OpenRegularFile(destination, flags, 0666);
  if (fd < 0) {
    const int err = errno;
    outcome.file_code = opos::OPOS_E_FAILURE;
    outcome.file_text = "Cannot open the report file " + destination;
    if (err == EINVAL) outcome.file_text += " (not a regular file)";
    if (err == ELOOP) outcome.file_text += " (a symbolic link)";
    return outcome;
  }
  std::string appended;
  if (mode == ReportFileMode::kAppend) appended = AsLines(data);
  const std::string& text = mode == ReportFileMode::kReplace ? data : appended;
  bool written = WriteAll(fd, text.data(), text.size());
  if (::close(fd) != 0) written = false;
  if (!written) {
    outcome.file_code = opos::OPOS_E_FAILURE;
    outcome.file_text = "Cannot write the report file " + destination;
  }
  return outcome;
}

}  // namespace kelo::device
