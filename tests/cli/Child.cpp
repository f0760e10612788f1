#include "Child.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <stdexcept>

extern char** environ;

namespace {

using TClock = std::chrono::steady_clock;
constexpr int cPollMs = 5;

struct TPipe {
  int Read = -1;
  int Write = -1;
  TPipe() {
    int Fds[2];
    if (::pipe2(Fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe2 failed");
    Read = Fds[0];
    Write = Fds[1];
  }
  ~TPipe() {
    if (Read >= 0) ::close(Read);
    if (Write >= 0) ::close(Write);
  }
  void CloseWrite() {
    ::close(Write);
    Write = -1;
  }
};

pid_t Spawn(const std::string& Program, const std::vector<std::string>& Args, TPipe& Out,
            TPipe& Err) {
  std::vector<char*> Argv;
  Argv.push_back(const_cast<char*>(Program.c_str()));
  for (const auto& A : Args) Argv.push_back(const_cast<char*>(A.c_str()));
  Argv.push_back(nullptr);
  posix_spawn_file_actions_t Actions;
  posix_spawn_file_actions_init(&Actions);
  posix_spawn_file_actions_adddup2(&Actions, Out.Write, STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&Actions, Err.Write, STDERR_FILENO);
  posix_spawn_file_actions_addopen(&Actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  pid_t Pid = -1;
  const int Error = ::posix_spawn(&Pid, Program.c_str(), &Actions, nullptr, Argv.data(), environ);
  posix_spawn_file_actions_destroy(&Actions);
  if (Error != 0) throw std::runtime_error("cannot start " + Program);
  return Pid;
}

// Reads what is there; false once the pipe is at its end.
bool Drain(int Fd, std::string& Into) {
  std::array<char, 4096> Buffer{};
  for (;;) {
    const ssize_t N = ::read(Fd, Buffer.data(), Buffer.size());
    if (N > 0) {
      Into.append(Buffer.data(), static_cast<std::size_t>(N));
      continue;
    }
    if (N < 0 && errno == EINTR) continue;
    return N < 0;  // EAGAIN: more may come; 0: the end
  }
}

// Waits for the child's end until Deadline; kills it there.
void Reap(pid_t Pid, TClock::time_point Deadline, TChildResult& Result) {
  int Status = 0;
  while (::waitpid(Pid, &Status, WNOHANG) != Pid) {
    if (TClock::now() > Deadline) {
      ::kill(Pid, SIGKILL);
      Result.TimedOut = true;
      (void)::waitpid(Pid, &Status, 0);
      break;
    }
    ::usleep(cPollMs * 1000);
  }
  if (WIFEXITED(Status)) Result.ExitStatus = WEXITSTATUS(Status);
  if (WIFSIGNALED(Status)) Result.Signal = WTERMSIG(Status);
}

}  // namespace

TChildResult RunChildOnTerminal(const std::string& Program, const std::vector<std::string>& Args,
                                std::chrono::milliseconds Limit,
                                const std::function<bool()>& HangUpWhen) {
  int Master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (Master < 0 || ::grantpt(Master) != 0 || ::unlockpt(Master) != 0)
    throw std::runtime_error("no pseudo-terminal");
  const std::string Slave = ::ptsname(Master);
  ::fcntl(Master, F_SETFL, O_NONBLOCK);

  std::vector<char*> Argv{const_cast<char*>(Program.c_str())};
  for (const auto& A : Args) Argv.push_back(const_cast<char*>(A.c_str()));
  Argv.push_back(nullptr);
  posix_spawnattr_t Attr;
  posix_spawnattr_init(&Attr);
  // A session of its own, so the terminal it opens becomes its controlling one.
  posix_spawnattr_setflags(&Attr, POSIX_SPAWN_SETSID);
  posix_spawn_file_actions_t Actions;
  posix_spawn_file_actions_init(&Actions);
  posix_spawn_file_actions_addopen(&Actions, STDOUT_FILENO, Slave.c_str(), O_RDWR, 0);
  posix_spawn_file_actions_adddup2(&Actions, STDOUT_FILENO, STDERR_FILENO);
  posix_spawn_file_actions_addopen(&Actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  pid_t Pid = -1;
  const int Error = ::posix_spawn(&Pid, Program.c_str(), &Actions, &Attr, Argv.data(), environ);
  posix_spawn_file_actions_destroy(&Actions);
  posix_spawnattr_destroy(&Attr);
  if (Error != 0) {
    ::close(Master);
    throw std::runtime_error("cannot start " + Program);
  }

  TChildResult Result;
  const auto Deadline = TClock::now() + Limit;
  int Status = 0;
  while (Master >= 0) {
    if (::waitpid(Pid, &Status, WNOHANG) == Pid) {
      (void)Drain(Master, Result.Out);
      ::close(Master);
      if (WIFEXITED(Status)) Result.ExitStatus = WEXITSTATUS(Status);
      if (WIFSIGNALED(Status)) Result.Signal = WTERMSIG(Status);
      return Result;
    }
    if (TClock::now() > Deadline) break;
    pollfd Fd{Master, POLLIN, 0};
    (void)::poll(&Fd, 1, cPollMs);
    (void)Drain(Master, Result.Out);
    if (HangUpWhen()) {
      ::close(Master);
      Master = -1;
    }
  }
  if (Master >= 0) ::close(Master);
  Reap(Pid, Deadline, Result);
  return Result;
}

TChildResult RunChild(const std::string& Program, const std::vector<std::string>& Args,
                      std::chrono::milliseconds Limit, const TWhileRunning& WhileRunning) {
  TPipe Out;
  TPipe Err;
  const pid_t Pid = Spawn(Program, Args, Out, Err);
  Out.CloseWrite();
  Err.CloseWrite();
  ::fcntl(Out.Read, F_SETFL, O_NONBLOCK);
  ::fcntl(Err.Read, F_SETFL, O_NONBLOCK);

  TChildResult Result;
  const auto Deadline = TClock::now() + Limit;
  bool OutOpen = true;
  bool ErrOpen = true;
  int Status = 0;
  bool Exited = false;
  while (!Exited || OutOpen || ErrOpen) {
    if (TClock::now() > Deadline) {
      ::kill(Pid, SIGKILL);
      Result.TimedOut = true;
      break;
    }
    pollfd Fds[2] = {{OutOpen ? Out.Read : -1, POLLIN, 0}, {ErrOpen ? Err.Read : -1, POLLIN, 0}};
    (void)::poll(Fds, 2, cPollMs);
    if (OutOpen) OutOpen = Drain(Out.Read, Result.Out);
    if (ErrOpen) ErrOpen = Drain(Err.Read, Result.Err);
    if (!Exited) {
      Exited = ::waitpid(Pid, &Status, WNOHANG) == Pid;
      if (!Exited && WhileRunning) WhileRunning(Pid, Result);
    }
  }
  if (!Exited) (void)::waitpid(Pid, &Status, 0);
  if (WIFEXITED(Status)) Result.ExitStatus = WEXITSTATUS(Status);
  if (WIFSIGNALED(Status)) Result.Signal = WTERMSIG(Status);
  return Result;
}
