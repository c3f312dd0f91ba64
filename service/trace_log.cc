#include "service/trace_log.h"

#include "platform/os/safe_file.h"

#include <fcntl.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <mutex>

#include "platform/os/debug_output.h"
#include "platform/text/cp1252.h"

namespace kelo::service::trace {

namespace {

constexpr size_t kFormatBufferSize = 64 * 1024;

std::atomic<bool> g_on{false};
std::atomic<uint32_t> g_mask{0xFFFFFFFFu};

// Guards g_file_name and g_fd, and makes every line (time stamp and message) one write that
// no other line can interleave with.
std::mutex g_file_mutex;
std::string g_file_name;
int g_fd = -1;

std::string TimeStamp(const timeval& now) {
  struct tm local {};
  time_t seconds = now.tv_sec;
  localtime_r(&seconds, &local);
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d.%03d  ", local.tm_hour, local.tm_min,
                local.tm_sec, static_cast<int>(now.tv_usec / 1000));
  return stamp;
}

void WriteAll(int fd, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // a full disk loses trace output, never the caller's work
    done += static_cast<size_t>(n);
  }
}

bool Enabled(uint32_t level) {
  return g_on.load(std::memory_order_relaxed) &&
         (level & g_mask.load(std::memory_order_relaxed)) != 0;
}

void Emit(const timeval& now, std::string_view message) {
  platform::DebugOutput(platform::Cp1252ToUtf8(message));
  std::string line = TimeStamp(now);
  line.append(message);
  std::lock_guard<std::mutex> lock(g_file_mutex);
  if (g_fd < 0) {
    if (g_file_name.empty()) return;
    // Never through a symbolic link, never blocking on a FIFO: only a regular file is used.
    g_fd = platform::OpenRegularFile(g_file_name, O_WRONLY | O_CREAT | O_APPEND);
    if (g_fd < 0) return;  // tried again at the next line
  }
  WriteAll(g_fd, line);
}

}  // namespace

void Printf(uint32_t level, const char* format, ...) {
  timeval now{};
  gettimeofday(&now, nullptr);
  if (!Enabled(level)) return;
  thread_local char buffer[kFormatBufferSize];
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  if (n < 0) return;
  size_t len = static_cast<size_t>(n) < sizeof buffer ? static_cast<size_t>(n) : sizeof buffer - 1;
  Emit(now, std::string_view(buffer, len));
}

void Write(uint32_t level, std::string_view message) {
  timeval now{};
  gettimeofday(&now, nullptr);
  if (!Enabled(level)) return;
  Emit(now, message.substr(0, kFormatBufferSize - 1));
}

void SwitchOn() {
  g_on.store(true);
}
void SwitchOff() {
  g_on.store(false);
}
bool IsOn() {
  return g_on.load();
}
void SetLevelMask(uint32_t mask) {
  g_mask.store(mask);
}
uint32_t LevelMask() {
  return g_mask.load();
}

void SetFileName(std::string name) {
  std::lock_guard<std::mutex> lock(g_file_mutex);
  g_file_name = std::move(name);
}

void ResetForTesting() {
  std::lock_guard<std::mutex> lock(g_file_mutex);
  if (g_fd >= 0) ::close(g_fd);
  g_fd = -1;
  g_file_name.clear();
  g_on.store(false);
  g_mask.store(0xFFFFFFFFu);
}

}  // namespace kelo::service::trace
