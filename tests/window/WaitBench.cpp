// What waiting for the controller costs through the real window: processor
// time of an idle wait and of a search that finds nothing, the longest gap
// between two rounds of window messages, and how soon a complete reply is
// noticed. Run by hand (no display needed):
//   build/tests/window/wait_bench
#include <sys/resource.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "MessageBox.h"
#include "Sim.h"
#include "TfUpdate.h"

namespace {

using TClock = std::chrono::steady_clock;

constexpr float cIdleWaitSecs = 10.0f;
constexpr double cSearchSecs = 10.0;
constexpr int cReplyRounds = 40;
constexpr mcsim::Ms cReplyDelay{40};  // the reply comes while the wait blocks

double Ms(TClock::duration D) {
  return std::chrono::duration<double, std::milli>(D).count();
}

// Processor time of the calling thread (the window's), in ms.
double ThreadCpuMs() {
  rusage U{};
  ::getrusage(RUSAGE_THREAD, &U);
  const auto Us =
      (U.ru_utime.tv_sec + U.ru_stime.tv_sec) * 1000000L + U.ru_utime.tv_usec + U.ru_stime.tv_usec;
  return static_cast<double>(Us) / 1000.0;
}

// The window, noting when it handles its messages.
class TTimedWindow : public TfUpdate {
 public:
  using TfUpdate::TfUpdate;
  void ProcessMessages() override {
    const auto Now = TClock::now();
    if (Last != TClock::time_point{}) Gaps.push_back(Ms(Now - Last));
    Last = Now;
    TfUpdate::ProcessMessages();
  }
  void ResetGaps() {
    Last = {};
    Gaps.clear();
  }
  // The gaps, sorted: median, 99th percentile and the longest, as text.
  std::string GapText() {
    if (Gaps.empty()) return "-";
    std::sort(Gaps.begin(), Gaps.end());
    char Text[96];
    std::snprintf(Text, sizeof Text, "%.1f / %.1f / %.1f ms", Gaps[Gaps.size() / 2],
                  Gaps[Gaps.size() * 99 / 100], Gaps.back());
    return Text;
  }
  TClock::time_point Last{};
  std::vector<double> Gaps;
};

void IdleWait(TTimedWindow& W, TCOMPort& Port, const std::string& Device) {
  Port.DeviceName = Device;
  Port.BaudRate = 115200;
  Port.Open();
  W.ResetGaps();
  const double Cpu = ThreadCpuMs();
  const auto Begin = TClock::now();
  W.Loader.CmdStr = ":e1\r";
  W.Loader.WaitResponse(8, cIdleWaitSecs);
  const double Wall = Ms(TClock::now() - Begin);
  Port.Close();
  std::printf("| idle wait for a reply | %.1f s | %.2f%% | %s |\n", Wall / 1000,
              100 * (ThreadCpuMs() - Cpu) / Wall, W.GapText().c_str());
}

void Search(TTimedWindow& W) {
  const double Cpu = ThreadCpuMs();
  const auto Begin = TClock::now();
  int Searches = 0;
  while (Ms(TClock::now() - Begin) < cSearchSecs * 1000) {
    W.Loader.LinkToMC();
    ++Searches;
  }
  const double Wall = Ms(TClock::now() - Begin);
  std::printf("| %d searches of the port, nothing answering | %.1f s | %.2f%% | (pauses block) |\n",
              Searches, Wall / 1000, 100 * (ThreadCpuMs() - Cpu) / Wall);
}

// From the moment the reply's last byte reached the port to the moment the
// wait returned.
void ReplyLatency(TTimedWindow& W, TCOMPort& Port, mcsim::Sim& Sim) {
  Port.DeviceName = Sim.DevicePath();
  Port.BaudRate = 115200;
  Port.Open();
  std::vector<double> Late;
  for (int I = 0; I < cReplyRounds; ++I) {
    Sim.ClearRecord();
    W.Loader.CmdStr = ":e1\r";
    W.Loader.SendCmd(W.Loader.CmdStr);
    if (!W.Loader.WaitResponse(8, 1.0f)) continue;
    const auto Returned = TClock::now();
    const mcsim::Record R = Sim.GetRecord();
    if (!R.tx.empty()) Late.push_back(Ms(Returned - R.tx.back().at));
    Port.PurgeIn();
  }
  Port.Close();
  std::sort(Late.begin(), Late.end());
  if (Late.empty()) {
    std::printf("no reply came\n");
    return;
  }
  std::printf("\nreply noticed after its last byte (%zu replies): median %.2f ms, worst %.2f ms\n",
              Late.size(), Late[Late.size() / 2], Late.back());
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication Application(argc, argv);
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  // A failed search's box would wait for a click.
  SetMessageBoxRunner([](QWidget*, const TMessageBoxRequest&) {});

  // A controller listening at a speed the search never tries: it hears only
  // noise and answers nothing.
  mcsim::Config Deaf;
  Deaf.appBaud = 4800;
  mcsim::Sim Silent(Deaf);
  Silent.Start();
  TCOMPort Port;
  TTimedWindow W(Port, [] { return TPortMap([](int) { return std::string(); }); });
  W.cbAutoSelectCOMPort->setChecked(false);
  W.cbPort->setCurrentText(QString::fromStdString(Silent.DevicePath()));

  std::printf(
      "| what | wall | processor (window thread) | gaps between message rounds: median / 99%% "
      "/ longest |\n");
  std::printf("|---|---|---|---|\n");
  IdleWait(W, Port, Silent.DevicePath());
  Search(W);
  Silent.Stop();

  mcsim::Config Answering;
  Answering.appBaud = 115200;
  Answering.replyDelay = cReplyDelay;
  Answering.lineSpeed = true;
  mcsim::Sim Sim(Answering);
  Sim.Start();
  ReplyLatency(W, Port, Sim);
  return 0;
}
