// The kelofpu-sim program's command-line contract: the ready line, the link (or the TCP
// listener and its line), a clean exit on SIGTERM, and exit code 2 for a bad command line.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace {

struct Child {
  pid_t pid = -1;
  int out = -1;
};

Child Spawn(const std::vector<std::string>& args, const std::string& extra_env = "") {
  int pipe_fds[2];
  if (::pipe(pipe_fds) != 0) return {};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, pipe_fds[0]);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  std::vector<char*> argv;
  std::string program = KELO_SIM_PROGRAM;
  argv.push_back(program.data());
  std::vector<std::string> copy = args;
  for (auto& a : copy) argv.push_back(a.data());
  argv.push_back(nullptr);
  Child c;
  std::vector<char*> env;
  for (char** e = environ; *e; ++e) env.push_back(*e);
  std::string extra = extra_env;
  if (!extra.empty()) env.push_back(extra.data());
  env.push_back(nullptr);
  if (posix_spawn(&c.pid, program.c_str(), &actions, nullptr, argv.data(), env.data()) != 0) {
    c.pid = -1;
  }
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipe_fds[1]);
  c.out = pipe_fds[0];
  return c;
}

std::string ReadLine(int fd, int timeout_ms) {
  std::string line;
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (std::chrono::steady_clock::now() < end) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 50) <= 0) continue;
    char c = 0;
    if (::read(fd, &c, 1) != 1) break;
    if (c == '\n') return line;
    line.push_back(c);
  }
  return line;
}

int WaitExit(pid_t pid) {
  int status = 0;
  for (int i = 0; i < 200; ++i) {
    if (::waitpid(pid, &status, WNOHANG) == pid) {
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    ::usleep(25000);
  }
  ::kill(pid, SIGKILL);
  ::waitpid(pid, &status, 0);
  return -1;
}

std::string Temp(const std::string& name) {
  return (std::filesystem::temp_directory_path() / (name + "." + std::to_string(::getpid())))
      .string();
}

TEST(ProgramTest, ServesUntilSigtermThenRemovesTheLinkAndSavesTheState) {
  const std::string link = Temp("kelofpu-prog-link");
  const std::string state = Temp("kelofpu-prog-state");
  std::filesystem::remove(state);
  Child c = Spawn({"--link", link, "--state", state, "--faults", "busy=0.01", "--seed", "9"});
  ASSERT_GT(c.pid, 0);
  const std::string ready = ReadLine(c.out, 5000);
  EXPECT_EQ(ready.rfind("kelofpu-sim ready " + link + " -> /dev/pts/", 0), 0u) << ready;
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  ::kill(c.pid, SIGTERM);
  EXPECT_EQ(WaitExit(c.pid), 0);
  ::close(c.out);
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
  EXPECT_TRUE(std::filesystem::exists(state));
  std::filesystem::remove(state);
}

TEST(ProgramTest, ListensOnTheTcpPortItPrints) {
  Child c = Spawn({"--listen", "tcp:0", "--faults", "disconnect=0.5"});
  ASSERT_GT(c.pid, 0);
  const std::string line = ReadLine(c.out, 5000);
  const std::string prefix = "kelofpu-sim: listening on 127.0.0.1:";
  ASSERT_EQ(line.rfind(prefix, 0), 0u) << line;
  const int port = std::stoi(line.substr(prefix.size()));
  EXPECT_GT(port, 0);
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(static_cast<uint16_t>(port));
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa), 0);
  ::close(fd);
  ::kill(c.pid, SIGTERM);
  EXPECT_EQ(WaitExit(c.pid), 0);
  ::close(c.out);
}

TEST(ProgramTest, BadCommandLinesExitWithTwo) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {},
           {"--link"},
           {"--link", Temp("x"), "--faults", "drop=2"},
           {"--link", Temp("x"), "--baud", "fast"},
           {"--link", Temp("x"), "--seed", "-1"},
           {"--link", Temp("x"), "--colour", "red"},
           {"--link", Temp("x"), "--listen", "tcp:0"},  // one or the other
           {"--listen", "9100"},
           {"--listen", "tcp:65536"},
           {"--listen", "tcp:localhost:"},
       }) {
    Child c = Spawn(args);
    ASSERT_GT(c.pid, 0);
    EXPECT_EQ(WaitExit(c.pid), 2) << (args.empty() ? "" : args.back());
    ::close(c.out);
  }
  Child c = Spawn({"--link", Temp("x")}, "KELOFPU_SIM_FROZEN_CLOCK=20261301000000");
  ASSERT_GT(c.pid, 0);
  EXPECT_EQ(WaitExit(c.pid), 2);
  ::close(c.out);
}

}  // namespace
