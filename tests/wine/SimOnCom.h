// A test with the simulated controller on a COM port of the Wine prefix and
// a folder of its own for firmware files, which Windows programs reach as
// Z:\... paths.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "SampleImage.h"
#include "Sim.h"
#include "WineRun.h"

// How Windows names a file of ours: Wine serves / as drive Z:.
inline std::string WindowsPath(const std::filesystem::path& Path) {
  std::string Text = "Z:" + Path.string();
  std::replace(Text.begin(), Text.end(), '/', '\\');
  return Text;
}

class TSimOnCom : public testing::Test {
 protected:
  TSimOnCom(int ComNumber, std::uint8_t Model, const std::string& Name)
      : FComNumber(ComNumber),
        FModel(Model),
        Dir(std::filesystem::temp_directory_path() /
            ("quarnel-wine-" + Name + "-" + std::to_string(::getpid()))) {
    std::filesystem::create_directories(Dir);
  }
  ~TSimOnCom() override {
    ComLink.reset();
    Sim.reset();
    std::error_code Error;
    std::filesystem::remove_all(Dir, Error);
  }

  void StartSim(const mcsim::Config& Config) {
    ComLink.reset();
    Sim.reset();
    Sim = std::make_unique<mcsim::Sim>(Config);
    ComLink = std::make_unique<TComLink>(FComNumber, Sim->SlaveName());
    Sim->Start();
  }
  mcsim::Config ModelConfig() const {
    mcsim::Config Config;
    Config.modelCode = FModel;
    return Config;
  }
  // The image as a firmware file; its Windows path.
  std::string WriteFirmware(const std::vector<std::uint8_t>& Image) {
    const std::filesystem::path File = Dir / "fw.QRV";
    EXPECT_TRUE(samplefw::WriteImage(File.string(), Image));
    return WindowsPath(File);
  }

  const int FComNumber;
  const std::uint8_t FModel;
  const std::filesystem::path Dir;
  std::unique_ptr<mcsim::Sim> Sim;
  std::unique_ptr<TComLink> ComLink;
};
