#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include "platform/os/safe_file.h"

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/os/clock.h"
#include "platform/os/debug_output.h"
#include "platform/os/event.h"

namespace kelo::platform {
namespace {

TEST(ClockTest, TicksSinceIsCorrectAcrossTheWrap) {
  EXPECT_EQ(TicksSince(0xFFFFFFF0u, 0x00000010u), 0x20u);
  EXPECT_EQ(TicksSince(100, 100), 0u);
  FakeClock clock(0xFFFFFF00u);
  uint32_t start = clock.TickMs();
  clock.SleepMs(0x200);
  EXPECT_EQ(clock.TickMs(), 0x100u);
  EXPECT_EQ(TicksSince(start, clock.TickMs()), 0x200u);
  EXPECT_EQ(clock.total_slept(), 0x200u);
}

TEST(ClockTest, SystemClockAdvances) {
  Clock& c = SystemClock();
  uint32_t start = c.TickMs();
  c.SleepMs(5);
  uint32_t elapsed = TicksSince(start, c.TickMs());
  EXPECT_GE(elapsed, 5u);
  EXPECT_LT(elapsed, 60000u);
}

TEST(EventTest, AutoResetIsConsumedByOneWaiter) {
  Event ev(/*manual_reset=*/false, /*initially_set=*/false);
  std::atomic<int> woken{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < 3; ++i) {
    waiters.emplace_back([&] {
      if (ev.Wait(300)) ++woken;
    });
  }
  ev.Set();
  for (auto& t : waiters) t.join();
  EXPECT_EQ(woken.load(), 1);
  EXPECT_FALSE(ev.IsSet());
}

TEST(EventTest, AutoResetInitiallySetReleasesOneWait) {
  Event ev(false, true);
  EXPECT_TRUE(ev.IsSet());
  EXPECT_TRUE(ev.Wait(0));
  EXPECT_FALSE(ev.Wait(0));
  ev.Set();
  ev.Reset();
  EXPECT_FALSE(ev.Wait(1));
}

TEST(EventTest, ManualResetReleasesEveryWaiterUntilReset) {
  Event ev(/*manual_reset=*/true, false);
  std::atomic<int> woken{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < 3; ++i) {
    waiters.emplace_back([&] {
      if (ev.Wait(kInfinite)) ++woken;
    });
  }
  ev.Set();
  for (auto& t : waiters) t.join();
  EXPECT_EQ(woken.load(), 3);
  EXPECT_TRUE(ev.Wait(0));
  ev.Reset();
  EXPECT_FALSE(ev.Wait(0));
}

TEST(EventTest, WaitTimesOutWhenNeverSet) {
  Event ev(false, false);
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(ev.Wait(20));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(20));
}

TEST(DebugOutputTest, HookAndFileSinkReceiveEveryTextWhole) {
  std::string file = (std::filesystem::temp_directory_path() /
                      ("kelo-debug-" + std::to_string(::getpid()) + ".txt"))
                         .string();
  std::filesystem::remove(file);
  std::vector<std::string> seen;
  std::mutex seen_mu;  // guards seen against the writer threads
  SetDebugOutputHook([&](std::string_view t) {
    std::lock_guard<std::mutex> lock(seen_mu);
    seen.emplace_back(t);
  });
  ::setenv("KELO_DEBUG_OUTPUT", file.c_str(), 1);
  std::vector<std::thread> writers;
  const std::string line_a(300, 'a'), line_b(300, 'b');
  for (int t = 0; t < 2; ++t) {
    writers.emplace_back([&, t] {
      for (int i = 0; i < 50; ++i) DebugOutput((t ? line_a : line_b) + "\n");
    });
  }
  for (auto& w : writers) w.join();
  ::unsetenv("KELO_DEBUG_OUTPUT");
  DebugOutput("not in the file\n");
  SetDebugOutputHook({});
  DebugOutput("not seen\n");

  EXPECT_EQ(seen.size(), 101u);
  EXPECT_EQ(seen.back(), "not in the file\n");
  std::ifstream in(file);
  std::string line;
  int lines = 0;
  while (std::getline(in, line)) {
    ++lines;
    EXPECT_TRUE(line == line_a || line == line_b) << "interleaved: " << line.substr(0, 40);
  }
  EXPECT_EQ(lines, 100);
  std::filesystem::remove(file);
}

TEST(SafeFileTest, OnlyARegularFileIsOpenedNeverALinkOrAFifo) {
  char tmpl[] = "/tmp/kelo-safe-XXXXXX";
  ASSERT_NE(::mkdtemp(tmpl), nullptr);
  const std::string dir = tmpl;
  const std::string target = dir + "/target", link = dir + "/link", fifo = dir + "/fifo";
  { std::ofstream(target) << "keep"; }
  ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);

  EXPECT_EQ(OpenRegularFile(link, O_WRONLY | O_APPEND), -1);
  EXPECT_EQ(errno, ELOOP);
  // No reader on the FIFO: a plain open would wait forever.
  for (int flags : {O_WRONLY | O_APPEND | O_CREAT, O_RDONLY}) {
    EXPECT_EQ(OpenRegularFile(fifo, flags), -1);
    EXPECT_TRUE(errno == EINVAL || errno == ENXIO) << errno;  // ENXIO: no reader, not waited for
  }
  EXPECT_EQ(OpenRegularFile(dir, O_RDONLY), -1);
  const int fd = OpenRegularFile(dir + "/new", O_WRONLY | O_CREAT | O_APPEND);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(::fcntl(fd, F_GETFL) & O_NONBLOCK, 0);
  ::close(fd);
  std::ifstream in(target);
  std::string kept;
  in >> kept;
  EXPECT_EQ(kept, "keep");
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace kelo::platform
