// The unit record: its time text, its line (every key in order, unknowns as
// null, device texts escaped), and appends from two processes at once to one
// file, which must leave every line whole.
#include "UnitRecord.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <process.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <atomic>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "RecordFile.h"

namespace fs = std::filesystem;

namespace {

using std::chrono::milliseconds;
using std::chrono::system_clock;

constexpr int cLinesPerProcess = 200;

TEST(UtcTimeText, CalendarInUtcWithMilliseconds) {
  const std::pair<long long, const char*> cCases[] = {
      {0, "1970-01-01T00:00:00.000Z"},
      {-1, "1969-12-31T23:59:59.999Z"},
      {951827696789, "2000-02-29T12:34:56.789Z"},   // a leap day of a 400th year
      {4107542400000, "2100-03-01T00:00:00.000Z"},  // 2100 has no leap day
  };
  for (const auto& [Ms, Expected] : cCases)
    EXPECT_EQ(UtcTimeText(system_clock::time_point(milliseconds(Ms))), Expected) << Ms;
}

// A record of an update that went the whole way, with device texts that
// would break the line or the JSON if they were not escaped.
TUnitRecord FullRecord() {
  TUnitRecord R;
  R.End = system_clock::time_point(milliseconds(951827696789));
  R.Host = "line-3";
  R.Command = "update";
  R.Port = "/dev/\"odd\"\nport";
  R.Device = "/dev/ttyUSB0";
  R.UsbSerial = "A5\\0\x01\r\n";
  R.ModelCode = 26;
  R.McuCount = 2;
  R.FileName = "fw.QRV";
  R.FileSize = 5000000000;  // past 32 bits
  R.FileSha256 = std::string(64, 'e');
  R.BaudRate = 115200;
  R.Bus = true;
  R.PcDirectMode = true;
  R.BlocksWritten = 128;
  R.DurationMs = 12345;
  R.Outcome = "done";
  return R;
}

// A version query that found nothing: every unknown is null.
TUnitRecord EmptyRecord() {
  TUnitRecord R;
  R.Command = "version";
  R.Port = "COM3";
  R.Outcome = "no-controller";
  R.ExitStatus = 3;
  return R;
}

TEST(RecordLine, EveryKeyInOrderOnOneLineWithUnknownsAsNull) {
  const char* const cKeys[] = {
      "time",       "host",           "tool_version", "command",   "port",   "device", "usb_serial",
      "model_code", "mcus",           "file",         "file_size", "sha256", "link",   "baud",
      "pc_direct",  "blocks_written", "duration_ms",  "outcome",   "status"};
  const std::pair<TUnitRecord, std::vector<std::string>> cCases[] = {
      {FullRecord(),
       {"\"time\":\"2000-02-29T12:34:56.789Z\"", "\"port\":\"/dev/\\\"odd\\\"\\u000aport\"",
        "\"usb_serial\":\"A5\\\\0\\u0001\\u000d\\u000a\"", "\"model_code\":26", "\"mcus\":2",
        "\"file_size\":5000000000", "\"link\":\"bus\"", "\"baud\":115200", "\"pc_direct\":true",
        "\"blocks_written\":128", "\"duration_ms\":12345", "\"outcome\":\"done\"", "\"status\":0",
        std::string("\"tool_version\":\"") + cQuarnelVersion + "\""}},
      {EmptyRecord(),
       {"\"device\":null", "\"usb_serial\":null", "\"model_code\":null", "\"mcus\":null",
        "\"file\":null", "\"file_size\":null", "\"sha256\":null", "\"link\":null", "\"baud\":null",
        "\"pc_direct\":false", "\"status\":3"}},
  };
  for (const auto& [Record, Fragments] : cCases) {
    const std::string Line = RecordLine(Record);
    EXPECT_EQ(Line.find_first_of("\r\n"), std::string::npos) << Line;
    EXPECT_TRUE(Line.front() == '{' && Line.back() == '}') << Line;
    std::size_t At = 0;
    for (const char* Key : cKeys) {
      At = Line.find(std::string("\"") + Key + "\":", At);
      ASSERT_NE(At, std::string::npos) << Key << " missing or out of order in " << Line;
    }
    for (const std::string& Fragment : Fragments)
      EXPECT_NE(Line.find(Fragment), std::string::npos) << Fragment << " not in " << Line;
  }
}

class RecordFileTest : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directories(Folder); }
  void TearDown() override { fs::remove_all(Folder); }
  std::vector<std::string> Lines() const {
    std::ifstream In(File);
    std::vector<std::string> Out;
    for (std::string Line; std::getline(In, Line);) Out.push_back(Line);
    return Out;
  }
  const fs::path Folder =
      fs::temp_directory_path() / ("quarnel-record-" + std::to_string(::getpid()));
  const std::string File = (Folder / "units.jsonl").string();
};

// The records one process writes: realistic lengths around 400 bytes, and
// now and then one past 4 KiB.
std::vector<std::string> LinesOf(int Process) {
  std::vector<std::string> Out;
  for (int I = 0; I < cLinesPerProcess; ++I) {
    TUnitRecord R = FullRecord();
    R.Port = "COM" + std::to_string(Process);
    R.DurationMs = I;
    R.FileName = std::string(I % 50 == 49 ? 5000 : 50 + (I * 37) % 200, 'f');
    Out.push_back(RecordLine(R));
  }
  return Out;
}

bool AppendAll(const std::string& File, int Process) {
  std::string Error;
  for (const std::string& Line : LinesOf(Process))
    if (!AppendRecordLine(File, Line, Error)) return false;
  return true;
}

// Two writers at once: processes where the system forks; on Windows threads,
// each append opening a handle of its own, which contend as processes do.
void RunTwoWriters(const std::string& File) {
#ifdef _WIN32
  std::atomic<int> Failures{0};
  std::vector<std::thread> Writers;
  for (int Process = 1; Process <= 2; ++Process)
    Writers.emplace_back([&, Process] { Failures += AppendAll(File, Process) ? 0 : 1; });
  for (std::thread& Writer : Writers) Writer.join();
  EXPECT_EQ(Failures, 0);
#else
  std::vector<pid_t> Children;
  for (int Process = 1; Process <= 2; ++Process) {
    const pid_t Pid = ::fork();
    ASSERT_GE(Pid, 0);
    if (Pid == 0) ::_exit(AppendAll(File, Process) ? 0 : 1);
    Children.push_back(Pid);
  }
  for (const pid_t Pid : Children) {
    int Status = 0;
    ASSERT_EQ(::waitpid(Pid, &Status, 0), Pid);
    EXPECT_TRUE(WIFEXITED(Status) && WEXITSTATUS(Status) == 0);
  }
#endif
}

TEST_F(RecordFileTest, TwoWritersAppendingLeaveEveryLineWhole) {
  RunTwoWriters(File);
  std::multiset<std::string> Expected;
  for (int Process = 1; Process <= 2; ++Process)
    for (const std::string& Line : LinesOf(Process)) Expected.insert(Line);
  const std::vector<std::string> Written = Lines();
  EXPECT_EQ(std::multiset<std::string>(Written.begin(), Written.end()), Expected);
#ifndef _WIN32
  struct stat Status {};
  ASSERT_EQ(::stat(File.c_str(), &Status), 0);
  EXPECT_EQ(Status.st_mode & 0022, 0u);  // nobody else may write into the record
#endif
}

TEST_F(RecordFileTest, RefusalsSayWhyAndWriteNothing) {
  const std::string Missing = (Folder / "no-folder" / "units.jsonl").string();
  std::vector<std::pair<std::string, std::string>> Cases = {
      {Missing, "{}"},          // its folder does not exist
      {Folder.string(), "{}"},  // a folder
      {File, "{}\n{}"},         // two lines for one unit
  };
#ifndef _WIN32
  const std::string Fifo = (Folder / "fifo").string();
  ASSERT_EQ(::mkfifo(Fifo.c_str(), 0600), 0);
  Cases.push_back({Fifo, "{}"});  // no reader: must not wait for one
#endif
  for (const auto& [Path, Line] : Cases) {
    std::string Error;
    EXPECT_FALSE(AppendRecordLine(Path, Line, Error)) << Path;
    EXPECT_NE(Error.find(Path), std::string::npos) << Error;
  }
  EXPECT_TRUE(Lines().empty());
  std::string Error;
  ASSERT_TRUE(AppendRecordLine(File, "{}", Error)) << Error;
  EXPECT_EQ(Lines(), std::vector<std::string>{"{}"});
}

}  // namespace
