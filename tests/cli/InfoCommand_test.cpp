// "info" in-process: what a file fits, the blocks each MCU receives, the
// shape of the estimates, and the files that fit nothing.
#include "InfoCommand.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "CliArgs.h"
#include "CliRun.h"
#include "SampleImage.h"

namespace fs = std::filesystem;

namespace {

using TBytes = std::vector<std::uint8_t>;

constexpr std::uint8_t cErased = 0xFF;
constexpr std::size_t cProgramBytes = 0x400;

// An image of Size bytes: erased, a program of cProgramBytes from Start, and
// the model bytes at their offsets.
TBytes Image(std::size_t Size, std::size_t Start,
             const std::vector<std::pair<std::size_t, std::uint8_t>>& ModelBytes) {
  TBytes Data(Size, cErased);
  for (std::size_t I = Start; I < Start + cProgramBytes; ++I)
    Data[I] = static_cast<std::uint8_t>(I & 0x3F);
  for (const auto& [At, Byte] : ModelBytes) Data[At] = Byte;
  return Data;
}

struct TExpectedFit {
  const char* Head;  // class, codes, MCUs and family as the JSON has them
  int Blocks;
  bool Paced;  // PC Direct Mode slows the frames
};

struct TInfoCase {
  const char* Name;
  TBytes File;
  std::vector<TExpectedFit> Fits;
};

struct TEstimate {
  long Plain;
  long PCDirect;
};

class InfoTest : public testing::Test {
 protected:
  InfoTest() { fs::create_directories(Dir); }
  ~InfoTest() override {
    std::error_code Error;
    fs::remove_all(Dir, Error);
  }
  std::string Write(const TBytes& Data) {
    const std::string File = (Dir / "fw.QRV").string();
    EXPECT_TRUE(samplefw::WriteImage(File, Data));
    return File;
  }
  int Run(const std::string& File, bool Json) {
    Out.str("");
    Err.str("");
    return RunInfo(File, Json, Out, Err);
  }

  fs::path Dir = fs::temp_directory_path() / ("quarnel-info-" + std::to_string(getpid()));
  std::ostringstream Out;
  std::ostringstream Err;
};

const std::string cFitMark = "{\"class\":";

// Each fit's part of the JSON result, in order.
std::vector<std::string> FitParts(const std::string& Json) {
  std::vector<std::string> Parts;
  const std::string& Mark = cFitMark;
  for (auto At = Json.find(Mark); At != std::string::npos;) {
    const auto Next = Json.find(Mark, At + 1);
    Parts.push_back(Json.substr(At, Next == std::string::npos ? std::string::npos : Next - At));
    At = Next;
  }
  return Parts;
}

std::vector<TEstimate> Estimates(const std::string& Part) {
  static const std::regex cRow(R"re("baud":\d+,"ms":(\d+),"pc_direct_ms":(\d+))re");
  std::vector<TEstimate> Rows;
  for (std::sregex_iterator I(Part.begin(), Part.end(), cRow), End; I != End; ++I)
    Rows.push_back({std::stol((*I)[1]), std::stol((*I)[2])});
  return Rows;
}

TEST_F(InfoTest, EachLayoutGivesItsClassesCodesBlocksAndEstimates) {
  const TInfoCase cCases[] = {
      {"PIC16, one MCU",
       samplefw::MakeImage(2, cProgramBytes),
       {{R"("class":2,"codes":[{"first":2,"last":3},{"first":26,"last":26}],"mcus":1,"mcu":"PIC16F886")",
         64, false}}},
      {"PIC16, two MCUs, a model byte the file rules fold",
       samplefw::MakeImage(0x83, cProgramBytes),
       {{R"("class":128,"codes":[{"first":128,"last":135}],"mcus":2,"mcu":"PIC16F886")", 64,
         false}}},
      {"PIC18, two MCUs",
       Image(0x8000, 0x600, {{0xE, 164}}),
       {{R"("class":4,"codes":[{"first":4,"last":4},{"first":164,"last":164}],"mcus":2,"mcu":"PIC18F25K20")",
         16, false}}},
      {"STM32 512, 128 KiB",
       Image(0x20000, 0x6000, {{0x5FFC, 12}}),
       {{R"("class":136,"codes":[{"first":12,"last":19},{"first":136,"last":143}],"mcus":1,"mcu":"STM32F_512")",
         2, true}}},
      {"STM32 64-byte blocks, entry at 9600",
       Image(0x4000, 0xC00, {{0xBFC, 11}}),
       {{R"("class":11,"codes":[{"first":11,"last":11}],"mcus":1,"mcu":"STM32F030F4P6")", 16,
         true}}},
      // Two classes of one size look at different offsets; the model byte at
      // 0xFFE0 lies in flash, so the 1024-byte blocks run to its end.
      {"one file, two classes",
       Image(0x10000, 0x1400, {{0xFFE0, 7}, {0xBFC, 32}}),
       {{R"("class":7,"codes":[{"first":7,"last":7}],"mcus":1,"mcu":"STM32F051C8T6_1024")", 59,
         true},
        {R"("class":32,"codes":[{"first":32,"last":47},{"first":183,"last":183}],"mcus":1,"mcu":"STM32F_512")",
         122, true}}},
  };
  for (const auto& Case : cCases) {
    SCOPED_TRACE(Case.Name);
    const std::string File = Write(Case.File);
    ASSERT_EQ(Run(File, true), cExitDone) << Err.str();
    EXPECT_EQ(Err.str(), "");
    const std::vector<std::string> Parts = FitParts(Out.str());
    ASSERT_EQ(Parts.size(), Case.Fits.size()) << Out.str();
    for (std::size_t I = 0; I < Parts.size(); ++I) {
      const TExpectedFit& Fit = Case.Fits[I];
      EXPECT_EQ(Parts[I].rfind(std::string("{") + Fit.Head, 0), 0u) << Parts[I];
      EXPECT_NE(Parts[I].find("\"blocks_per_mcu\":" + std::to_string(Fit.Blocks) + ","),
                std::string::npos)
          << Parts[I];
      const std::vector<TEstimate> E = Estimates(Parts[I]);
      ASSERT_EQ(E.size(), 3u);  // 9600, 38400, 115200
      for (std::size_t R = 0; R < E.size(); ++R) {
        if (R > 0) {
          EXPECT_LT(E[R].Plain, E[R - 1].Plain);
          EXPECT_LT(E[R].PCDirect, E[R - 1].PCDirect);
        }
        if (Fit.Paced) {
          EXPECT_GT(E[R].PCDirect, E[R].Plain);
        } else {
          EXPECT_EQ(E[R].PCDirect, E[R].Plain);
        }
      }
    }
    // The text form names every class too.
    ASSERT_EQ(Run(File, false), cExitDone);
    for (const std::string& Part : Parts)
      EXPECT_NE(Out.str().find("Class " + std::to_string(std::stoi(Part.substr(cFitMark.size()))) +
                               " (model codes"),
                std::string::npos)
          << Out.str();
  }
}

TEST_F(InfoTest, AFileThatFitsNothingSaysWhyAndExitsFour) {
  const struct {
    const char* Name;
    std::optional<TBytes> File;  // none: no file at all
    const char* Outcome;
    const char* Why;
  } cCases[] = {
      {"no file", std::nullopt, "file-not-opened", "cannot be opened: no such file."},
      {"empty", TBytes{}, "file-wrong-size",
       "fits no controller model: 0 bytes is not the size of a firmware file (16384, 20480, "
       "32768, 65536 or 131072 bytes)."},
      // Controller code 3 is class 2, but a file must carry the class itself.
      {"model byte 3", samplefw::MakeImage(3, cProgramBytes), "file-wrong-model",
       "fits no controller model: no model with files of 20480 bytes takes its model byte "
       "(byte 0x3 at 0x2)."},
  };
  for (const auto& Case : cCases) {
    SCOPED_TRACE(Case.Name);
    const std::string File = Case.File ? Write(*Case.File) : (Dir / "missing.QRV").string();
    EXPECT_EQ(Run(File, false), cExitFileRefused);
    EXPECT_EQ(Out.str(), "");
    EXPECT_EQ(Err.str(), File + ": " + Case.Why + "\n");
    EXPECT_EQ(Run(File, true), cExitFileRefused);
    EXPECT_NE(Out.str().find(std::string("\"outcome\":\"") + Case.Outcome + "\",\"status\":4,"),
              std::string::npos)
        << Out.str();
    EXPECT_NE(Out.str().find("\"fits\":[]"), std::string::npos) << Out.str();
  }
}

TEST(ParseCliArgs, InfoTakesAFileAndOnlyJson) {
  const TCliOptions O = ParseCliArgs({"info", "--json", "fw.QRV"});
  EXPECT_EQ(O.Command, TCliCommand::Info);
  EXPECT_EQ(O.FileName, "fw.QRV");
  EXPECT_TRUE(O.Json);
  const std::vector<std::string> cBad[] = {
      {"info"},
      {"info", "a", "b"},
      {"info", "a", "--port", "3"},
      {"info", "a", "--high-speed"},
      {"info", "a", "--pc-direct"},
      {"info", "a", "--no-pc-direct"},
  };
  for (const auto& Args : cBad)
    EXPECT_THROW(ParseCliArgs(Args), ECliUsage) << testing::PrintToString(Args);
}

}  // namespace
