#include "platform/os/debug_output.h"

#include "platform/os/safe_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>

namespace kelo::platform {
namespace {

struct Sink {
  // Serializes writers so that each text reaches the sink whole, and guards the fields below.
  std::mutex mu;
  std::string file_name;  // the $KELO_DEBUG_OUTPUT the open descriptor belongs to
  int fd = -1;
  std::shared_ptr<const std::function<void(std::string_view)>> hook;
};

Sink& TheSink() {
  static Sink* sink = new Sink;  // never destroyed: threads may still trace during exit
  return *sink;
}

void WriteAll(int fd, std::string_view text) {
  while (!text.empty()) {
    ssize_t n = ::write(fd, text.data(), text.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return;  // debug output is best effort
    }
    text.remove_prefix(static_cast<size_t>(n));
  }
}

}  // namespace

void DebugOutput(std::string_view text) {
  Sink& sink = TheSink();
  std::shared_ptr<const std::function<void(std::string_view)>> hook;
  {
    std::lock_guard<std::mutex> lock(sink.mu);
    hook = sink.hook;
    // The variable is looked up on every call so that a test or a debugging session can
    // redirect the output at run time; the file stays open while the name is unchanged.
    const char* env = std::getenv("KELO_DEBUG_OUTPUT");
    std::string name = env ? env : "";
    if (name != sink.file_name) {
      if (sink.fd >= 0) ::close(sink.fd);
      sink.fd = -1;
      sink.file_name = name;
      if (!name.empty() && name != "-") {
        // A regular file only: no symbolic link followed, no FIFO blocked on.
        sink.fd = OpenRegularFile(name, O_WRONLY | O_APPEND | O_CREAT);
      }
    }
    if (name == "-") {
      WriteAll(STDERR_FILENO, text);
    } else if (sink.fd >= 0) {
      WriteAll(sink.fd, text);
    }
  }
  // Called outside the lock so that a hook may itself trace without deadlocking.
  if (hook) (*hook)(text);
}

void SetDebugOutputHook(std::function<void(std::string_view)> hook) {
  Sink& sink = TheSink();
  std::lock_guard<std::mutex> lock(sink.mu);
  if (hook) {
    sink.hook = std::make_shared<const std::function<void(std::string_view)>>(std::move(hook));
  } else {
    sink.hook.reset();
  }
}

}  // namespace kelo::platform
