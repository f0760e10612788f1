// Programs of the Windows build run under Wine for tests on Linux. The
// Windows stage (scripts/test-windows.sh) prepares the prefix and names the
// places: WINEPREFIX, and QUARNEL_WINDOWS_BUILD, the cross build's folder.
// Every run is bounded in time, so no test hangs on Wine.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <vector>

using TEnvironment = std::map<std::string, std::string>;

// The path of a program of the Windows build, e.g. "cli/quarnel-cli.exe".
// Throws std::runtime_error when the stage's settings are missing.
std::string WindowsProgram(const std::string& RelativePath);

// COM<Number> of the prefix names Device while this object lives; whatever
// the name stood for before comes back afterwards.
class TComLink {
 public:
  TComLink(int Number, const std::string& Device);
  ~TComLink();
  TComLink(const TComLink&) = delete;
  TComLink& operator=(const TComLink&) = delete;

  const std::string& Name() const { return ComName; }  // "COM12"

 private:
  std::string ComName;
  std::string LinkPath;
  std::string Before;  // the old link's target; empty when there was none
};

struct TWineResult {
  bool TimedOut = false;
  int ExitStatus = -1;  // -1 when the program did not exit by itself
  // Text, with Windows line ends (CR LF) made LF.
  std::string Out;
  std::string Err;
};

// Called every few ms while a program runs, with its process: Wine makes a
// SIGINT to it the console's Ctrl-C.
using TWhileWine = std::function<void(pid_t Pid)>;

// Runs a Windows program to its end with stdin empty, stdout and stderr
// taken through files (Wine's helper processes may keep a pipe open).
TWineResult RunUnderWine(const std::string& Program, const std::vector<std::string>& Args,
                         std::chrono::seconds Limit, const TEnvironment& Extra = {},
                         const TWhileWine& WhileRunning = {});

// A Windows program left running while the test acts on it (a window);
// ended when the object goes, if it has not ended by then.
class TWineProgram {
 public:
  TWineProgram(const std::string& Program, const std::vector<std::string>& Args,
               std::chrono::seconds Limit, const TEnvironment& Extra = {});
  ~TWineProgram();
  TWineProgram(const TWineProgram&) = delete;
  TWineProgram& operator=(const TWineProgram&) = delete;

  // The exit status once the program has ended within Limit; -1 when it has
  // not (it keeps running) or did not exit by itself.
  int WaitExit(std::chrono::seconds Limit);

 private:
  pid_t Pid = -1;
  int Status = -1;
  bool Ended = false;
};

// A Windows program spoken to one line at a time through its stdin and
// stdout; quit when the object goes.
class TWineSession {
 public:
  TWineSession(const std::string& Program, const TEnvironment& Extra);
  ~TWineSession();
  TWineSession(const TWineSession&) = delete;
  TWineSession& operator=(const TWineSession&) = delete;

  // Sends Line and returns the answer line; "" when none came in time.
  std::string Ask(const std::string& Line);

 private:
  pid_t Pid = -1;
  int ToProgram = -1;
  int FromProgram = -1;
  std::string Pending;  // read but not yet returned
};
