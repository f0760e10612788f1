#include "WineRun.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace {

using TClock = std::chrono::steady_clock;

constexpr const char* cPrefixVariable = "WINEPREFIX";
constexpr const char* cBuildVariable = "QUARNEL_WINDOWS_BUILD";
// timeout(1) sends SIGTERM at the limit and SIGKILL this much later.
constexpr int cKillAfterSecs = 5;
// Our own guard beyond timeout(1)'s, should it fail to end the program.
constexpr auto cGuardMargin = std::chrono::seconds(cKillAfterSecs + 5);
constexpr auto cExitPoll = std::chrono::milliseconds(10);
constexpr auto cSessionLimit = std::chrono::seconds(300);
constexpr auto cAnswerLimit = std::chrono::seconds(30);
constexpr auto cQuitLimit = std::chrono::seconds(20);

std::string Setting(const char* Name) {
  const char* Value = std::getenv(Name);
  if (Value == nullptr || *Value == '\0') {
    throw std::runtime_error(std::string(Name) + " is not set: run scripts/test-windows.sh");
  }
  return Value;
}

[[noreturn]] void Fail(const std::string& What) {
  throw std::runtime_error(What + ": " + std::strerror(errno));
}

std::vector<std::string> WineCommand(const std::string& Program,
                                     const std::vector<std::string>& Args,
                                     std::chrono::seconds Limit) {
  std::vector<std::string> Argv = {"timeout", "--kill-after=" + std::to_string(cKillAfterSecs),
                                   std::to_string(Limit.count()), "wine", Program};
  Argv.insert(Argv.end(), Args.begin(), Args.end());
  return Argv;
}

// This process's environment with Extra's entries set.
std::vector<std::string> EnvironmentWith(const TEnvironment& Extra) {
  std::vector<std::string> Env;
  for (char** Entry = environ; *Entry != nullptr; ++Entry) {
    const std::string Text = *Entry;
    if (Extra.count(Text.substr(0, Text.find('='))) == 0) Env.push_back(Text);
  }
  for (const auto& [Name, Value] : Extra) Env.push_back(Name + "=" + Value);
  return Env;
}

std::vector<char*> Pointers(std::vector<std::string>& Texts) {
  std::vector<char*> Out;
  for (auto& T : Texts) Out.push_back(T.data());
  Out.push_back(nullptr);
  return Out;
}

// Starts Argv with the given descriptors as its stdin, stdout and stderr.
pid_t Spawn(std::vector<std::string> Argv, const TEnvironment& Extra, int In, int Out, int Err) {
  std::vector<std::string> Env = EnvironmentWith(Extra);
  posix_spawn_file_actions_t Actions;
  posix_spawn_file_actions_init(&Actions);
  posix_spawn_file_actions_adddup2(&Actions, In, STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&Actions, Out, STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&Actions, Err, STDERR_FILENO);
  pid_t Pid = -1;
  const int Error = ::posix_spawnp(&Pid, Argv[0].c_str(), &Actions, nullptr, Pointers(Argv).data(),
                                   Pointers(Env).data());
  posix_spawn_file_actions_destroy(&Actions);
  if (Error != 0) {
    errno = Error;
    Fail("cannot start " + Argv[0]);
  }
  return Pid;
}

// The program timeout(1) started: a signal for the program goes to it alone,
// since timeout(1) would pass it on twice (to its child and to its group).
// -1 while there is none yet.
pid_t ChildOf(pid_t Pid) {
  const std::string Path =
      "/proc/" + std::to_string(Pid) + "/task/" + std::to_string(Pid) + "/children";
  std::ifstream In(Path);
  pid_t Child = -1;
  return In >> Child ? Child : -1;
}

// Waits until Pid exits or Deadline passes; then asks timeout(1) to end its
// program (it passes SIGTERM on), and kills it if that does not do. The exit
// status, or -1 when it did not exit by itself.
int Reap(pid_t Pid, TClock::time_point Deadline, const TWhileWine& WhileRunning = {}) {
  int Status = 0;
  while (::waitpid(Pid, &Status, WNOHANG) == 0) {
    if (TClock::now() < Deadline) {
      if (WhileRunning && ChildOf(Pid) > 0) WhileRunning(ChildOf(Pid));
      std::this_thread::sleep_for(cExitPoll);
      continue;
    }
    ::kill(Pid, SIGTERM);
    const auto KillAt = TClock::now() + std::chrono::seconds(cKillAfterSecs);
    while (::waitpid(Pid, &Status, WNOHANG) == 0) {
      if (TClock::now() >= KillAt) {
        ::kill(Pid, SIGKILL);
        ::waitpid(Pid, &Status, 0);
        break;
      }
      std::this_thread::sleep_for(cExitPoll);
    }
    return -1;
  }
  return WIFEXITED(Status) ? WEXITSTATUS(Status) : -1;
}

// An unlinked temporary file: the program writes it, we read it back.
class TCapture {
 public:
  TCapture() {
    char Path[] = "/tmp/quarnel-wine-XXXXXX";
    Fd = ::mkstemp(Path);
    if (Fd < 0) Fail("mkstemp");
    ::unlink(Path);
  }
  ~TCapture() { ::close(Fd); }
  TCapture(const TCapture&) = delete;
  TCapture& operator=(const TCapture&) = delete;
  int Get() const { return Fd; }
  std::string Text() const {
    std::string Out;
    char Buffer[4096];
    ::lseek(Fd, 0, SEEK_SET);
    for (ssize_t N; (N = ::read(Fd, Buffer, sizeof Buffer)) > 0;) Out.append(Buffer, N);
    return Out;
  }

 private:
  int Fd = -1;
};

class TFd {
 public:
  explicit TFd(int F) : Fd(F) {
    if (Fd < 0) Fail("open");
  }
  ~TFd() { ::close(Fd); }
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
  int Get() const { return Fd; }

 private:
  int Fd;
};

std::string UnixLineEnds(std::string Text) {
  for (auto At = Text.find("\r\n"); At != std::string::npos; At = Text.find("\r\n", At)) {
    Text.erase(At, 1);
  }
  return Text;
}

// timeout(1) exits with 124 when the limit struck, 128 + 9 when it had to kill.
bool TimeoutStruck(int Status) {
  return Status == 124 || Status == 128 + SIGKILL;
}

}  // namespace

std::string WindowsProgram(const std::string& RelativePath) {
  return Setting(cBuildVariable) + "/" + RelativePath;
}

TComLink::TComLink(int Number, const std::string& Device)
    : ComName("COM" + std::to_string(Number)),
      LinkPath(Setting(cPrefixVariable) + "/dosdevices/com" + std::to_string(Number)) {
  struct stat Info {};
  if (::lstat(LinkPath.c_str(), &Info) == 0) {
    if (!S_ISLNK(Info.st_mode)) throw std::runtime_error(LinkPath + " is not a link");
    char Target[PATH_MAX] = {};
    const ssize_t Size = ::readlink(LinkPath.c_str(), Target, sizeof Target - 1);
    if (Size > 0) Before.assign(Target, static_cast<std::size_t>(Size));
    ::unlink(LinkPath.c_str());
  }
  if (::symlink(Device.c_str(), LinkPath.c_str()) != 0) Fail("symlink " + LinkPath);
}

TComLink::~TComLink() {
  ::unlink(LinkPath.c_str());
  if (!Before.empty()) (void)::symlink(Before.c_str(), LinkPath.c_str());
}

TWineResult RunUnderWine(const std::string& Program, const std::vector<std::string>& Args,
                         std::chrono::seconds Limit, const TEnvironment& Extra,
                         const TWhileWine& WhileRunning) {
  TCapture Out;
  TCapture Err;
  const TFd In(::open("/dev/null", O_RDONLY | O_CLOEXEC));
  const pid_t Pid = Spawn(WineCommand(Program, Args, Limit), Extra, In.Get(), Out.Get(), Err.Get());
  TWineResult Result;
  const int Status = Reap(Pid, TClock::now() + Limit + cGuardMargin, WhileRunning);
  Result.TimedOut = Status < 0 || TimeoutStruck(Status);
  Result.ExitStatus = Result.TimedOut ? -1 : Status;
  Result.Out = UnixLineEnds(Out.Text());
  Result.Err = UnixLineEnds(Err.Text());
  return Result;
}

TWineProgram::TWineProgram(const std::string& Program, const std::vector<std::string>& Args,
                           std::chrono::seconds Limit, const TEnvironment& Extra) {
  const TFd Null(::open("/dev/null", O_RDWR | O_CLOEXEC));
  Pid = Spawn(WineCommand(Program, Args, Limit), Extra, Null.Get(), Null.Get(), Null.Get());
}

TWineProgram::~TWineProgram() {
  if (!Ended) (void)Reap(Pid, TClock::now());
}

int TWineProgram::WaitExit(std::chrono::seconds Limit) {
  if (Ended) return Status;
  const auto Deadline = TClock::now() + Limit;
  int Raw = 0;
  for (;;) {
    const pid_t Done = ::waitpid(Pid, &Raw, WNOHANG);
    if (Done == Pid) break;
    if (Done < 0 || TClock::now() >= Deadline) return -1;
    std::this_thread::sleep_for(cExitPoll);
  }
  Ended = true;
  Status = WIFEXITED(Raw) && !TimeoutStruck(WEXITSTATUS(Raw)) ? WEXITSTATUS(Raw) : -1;
  return Status;
}

TWineSession::TWineSession(const std::string& Program, const TEnvironment& Extra) {
  // A program that died must fail the test, not end it with SIGPIPE.
  ::signal(SIGPIPE, SIG_IGN);
  int ToChild[2];
  int FromChild[2];
  if (::pipe2(ToChild, O_CLOEXEC) != 0) Fail("pipe2");
  if (::pipe2(FromChild, O_CLOEXEC) != 0) Fail("pipe2");
  try {
    Pid = Spawn(WineCommand(Program, {}, cSessionLimit), Extra, ToChild[0], FromChild[1],
                STDERR_FILENO);
  } catch (...) {
    for (int Fd : {ToChild[0], ToChild[1], FromChild[0], FromChild[1]}) ::close(Fd);
    throw;
  }
  ::close(ToChild[0]);
  ::close(FromChild[1]);
  ToProgram = ToChild[1];
  FromProgram = FromChild[0];
}

TWineSession::~TWineSession() {
  const std::string Quit = "quit\n";
  (void)::write(ToProgram, Quit.data(), Quit.size());
  ::close(ToProgram);
  (void)Reap(Pid, TClock::now() + cQuitLimit);
  ::close(FromProgram);
}

std::string TWineSession::Ask(const std::string& Line) {
  const std::string Sent = Line + "\n";
  if (::write(ToProgram, Sent.data(), Sent.size()) != static_cast<ssize_t>(Sent.size())) return "";
  const auto Deadline = TClock::now() + cAnswerLimit;
  for (;;) {
    const auto End = Pending.find('\n');
    if (End != std::string::npos) {
      std::string Answer = Pending.substr(0, End);
      Pending.erase(0, End + 1);
      if (!Answer.empty() && Answer.back() == '\r') Answer.pop_back();
      return Answer;
    }
    const auto Left =
        std::chrono::duration_cast<std::chrono::milliseconds>(Deadline - TClock::now());
    if (Left.count() <= 0) return "";
    pollfd P{FromProgram, POLLIN, 0};
    if (::poll(&P, 1, static_cast<int>(Left.count())) <= 0) continue;
    char Buffer[4096];
    const ssize_t N = ::read(FromProgram, Buffer, sizeof Buffer);
    if (N <= 0) return "";  // the program ended
    Pending.append(Buffer, static_cast<std::size_t>(N));
  }
}
