// What the terminal view prints in each mode, and how it makes untrusted
// text safe.
#include "TerminalView.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "TextOut.h"

namespace {

// A short update as the loader shows it, with a box in the middle of the
// progress and repeated and cleared texts.
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
  View.SetPrompt("50% of MCU 1");
  View.SetPrompt("100% of MCU 1");
  View.ShowError("Box text.");
  View.SetPrompt("5% of MCU 2");
  View.SetPrompt("5% of MCU 2");
  View.SetPrompt("Done.");
  View.EndLine();
  return {Out.str(), Err.str()};
}

const std::string cHalf = "[" + std::string(15, '#') + std::string(15, '-') + "] ";
const std::string cFull = "[" + std::string(30, '#') + "] ";
const std::string cFive = "[#" + std::string(29, '-') + "] ";

TEST(TerminalView, TerminalRedrawsProgressInPlaceAndBreaksTheLineForAnythingElse) {
  const Output O = Show(TOutputMode::Terminal);
  EXPECT_EQ(O.Out,
            "Trying to connect to a motor controller ...\n"
            "Wait...\n"
            "\r" +
                cHalf +
                "50% of MCU 1"
                "\r" +
                cFull +
                "100% of MCU 1\n"
                "\r" +
                cFive +
                "5% of MCU 2\n"
                "Done.\n");
  EXPECT_EQ(O.Err, "Box text.\n");
}

TEST(TerminalView, LinesAndJsonShowEveryChangeOfTheStatusLine) {
  const Output L = Show(TOutputMode::Lines);
  EXPECT_EQ(L.Out,
            "Trying to connect to a motor controller ...\nWait...\n50% of MCU 1\n"
            "100% of MCU 1\n5% of MCU 2\nDone.\n");
  EXPECT_EQ(L.Err, "Box text.\n");

  const Output J = Show(TOutputMode::Json);
  const auto Status = [](const std::string& Text) {
    return "{\"event\":\"status\",\"text\":\"" + Text + "\"}\n";
  };
  EXPECT_EQ(J.Out, Status("Trying to connect to a motor controller ...") + Status("") +
                       Status("Wait...") + Status("50% of MCU 1") + Status("100% of MCU 1") +
                       "{\"event\":\"error\",\"text\":\"Box text.\"}\n" + Status("5% of MCU 2") +
                       Status("Done."));
  EXPECT_EQ(J.Err, "Box text.\n");  // boxes go to stderr in every mode
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
