// What the terminal view prints in each mode, and how it makes untrusted
// text safe.
#include "TerminalView.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "TextOut.h"

namespace {

// A short update as the loader shows it: numbers before each progress text,
// a box in the middle of the progress, repeated and cleared texts.
struct Output {
  std::string Out;
  std::string Err;
};

Output Show(TOutputMode Mode) {
  std::ostringstream Out;
  std::ostringstream Err;
  TTerminalView View(Mode, Out, Err, {});
  View.SetPrompt("");  // unchanged: the status line starts empty
  View.SetPrompt("Trying to connect to a motor controller ...");
  View.SetPrompt("");
  View.SetPrompt("Wait...");
  View.SetProgress({1, 2, 0, 2, 0});
  View.SetProgress({1, 2, 1, 2, 50});
  View.SetPrompt("50% of MCU 1");
  View.SetProgress({1, 2, 2, 2, 100});
  View.SetPrompt("100% of MCU 1");
  View.ShowError("Box text.");
  View.SetPrompt("Wait...");
  View.SetProgress({2, 2, 1, 20, 5});
  View.SetPrompt("5% of MCU 2");
  View.SetProgress({2, 2, 2, 20, 5});  // the percent stands, the count moves on
  View.SetPrompt("5% of MCU 2");
  View.SetPrompt("Done.");
  View.EndLine();
  return {Out.str(), Err.str()};
}

const std::string cNone = "[" + std::string(30, '-') + "] ";
const std::string cHalf = "[" + std::string(15, '#') + std::string(15, '-') + "] ";
const std::string cFull = "[" + std::string(30, '#') + "] ";
const std::string cFive = "[#" + std::string(29, '-') + "] ";

TEST(TerminalView, TerminalRedrawsProgressInPlaceAndBreaksTheLineForAnythingElse) {
  const Output O = Show(TOutputMode::Terminal);
  EXPECT_EQ(O.Out,
            "Trying to connect to a motor controller ...\n"
            "Wait...\n"
            "\r" +
                cNone + "0% of MCU 1  0/2 blocks\r" + cHalf + "50% of MCU 1  1/2 blocks\r" + cFull +
                "100% of MCU 1  2/2 blocks\n"
                "Wait...\n"
                "\r" +
                cFive + "5% of MCU 2  1/20 blocks\r" + cFive +
                "5% of MCU 2  2/20 blocks\n"
                "Done.\n");
  EXPECT_EQ(O.Err, "Box text.\n");
}

TEST(TerminalView, LinesAndJsonShowEveryChangeOfTheStatusLine) {
  const Output L = Show(TOutputMode::Lines);
  EXPECT_EQ(L.Out,
            "Trying to connect to a motor controller ...\nWait...\n50% of MCU 1\n"
            "100% of MCU 1\nWait...\n5% of MCU 2\nDone.\n");
  EXPECT_EQ(L.Err, "Box text.\n");

  const Output J = Show(TOutputMode::Json);
  const auto Status = [](const std::string& Text) {
    return "{\"event\":\"status\",\"text\":\"" + Text + "\"}\n";
  };
  const auto Progress = [](const std::string& Numbers) {
    return "{\"event\":\"progress\"," + Numbers + "}\n";
  };
  EXPECT_EQ(
      J.Out,
      Status("Trying to connect to a motor controller ...") + Status("") + Status("Wait...") +
          Progress("\"mcu\":1,\"blocks\":0,\"total\":2,\"percent\":0") +
          Progress("\"mcu\":1,\"blocks\":1,\"total\":2,\"percent\":50") + Status("50% of MCU 1") +
          Progress("\"mcu\":1,\"blocks\":2,\"total\":2,\"percent\":100") + Status("100% of MCU 1") +
          "{\"event\":\"error\",\"text\":\"Box text.\"}\n" + Status("Wait...") +
          Progress("\"mcu\":2,\"blocks\":1,\"total\":20,\"percent\":5") + Status("5% of MCU 2") +
          Progress("\"mcu\":2,\"blocks\":2,\"total\":20,\"percent\":5") + Status("Done."));
  EXPECT_EQ(J.Err, "Box text.\n");  // boxes go to stderr in every mode
}

// One port's line, as a later view draws one per port: the prefix made
// printable, the bar held within 0 to 100.
TEST(TerminalView, ProgressLineShowsBarPercentAndBlocks) {
  struct {
    TProgress Progress;
    std::string Prefix, Line;
  } const cCases[] = {
      {{1, 2, 12, 36, 33},
       "",
       "[" + std::string(9, '#') + std::string(21, '-') + "] 33% of MCU 1  12/36 blocks"},
      {{2, 2, 36, 36, 100}, "COM3", "COM3 " + cFull + "100% of MCU 2  36/36 blocks"},
      {{1, 1, 0, 4, -5}, "/dev/x\x1b[2J", "/dev/x\\x1b[2J " + cNone + "-5% of MCU 1  0/4 blocks"},
  };
  for (const auto& C : cCases) EXPECT_EQ(ProgressLine(C.Progress, C.Prefix), C.Line) << C.Line;
}

TEST(TextOut, ControlBytesAndBrokenUtf8NeverReachTheOutputRaw) {
  struct {
    std::string In, Printable, Json;
  } const cCases[] = {
      {"3.28.04", "3.28.04", "\"3.28.04\""},
      {"a\x1b[2Jb", "a\\x1b[2Jb", "\"a\\u001b[2Jb\""},
      {"\r\n\t\x7f", "\\x0d\\x0a\\x09\\x7f", "\"\\u000d\\u000a\\u0009\\u007f\""},
      {"q\"\\", "q\"\\", "\"q\\\"\\\\\""},
      {"\xc2\x9b", "\\xc2\\x9b", "\"\\u009b\""},                // C1 control (CSI)
      {"caf\xc3\xa9 \xe2\x82\xac", "caf\xc3\xa9 \xe2\x82\xac",  // kept as it is
       "\"caf\xc3\xa9 \xe2\x82\xac\""},
      {"\xff\xc3", "\\xff\\xc3", "\"\\u00ff\\u00c3\""},                  // stray and cut off
      {"\xc0\xaf", "\\xc0\\xaf", "\"\\u00c0\\u00af\""},                  // overlong "/"
      {"\xed\xa0\x80", "\\xed\\xa0\\x80", "\"\\u00ed\\u00a0\\u0080\""},  // surrogate
  };
  for (const auto& C : cCases) {
    EXPECT_EQ(PrintableText(C.In), C.Printable) << C.Printable;
    EXPECT_EQ(JsonString(C.In), C.Json) << C.Printable;
  }
}

}  // namespace
