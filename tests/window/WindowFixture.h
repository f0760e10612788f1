// A window on a port of its own that maps no port number, and recorders that
// answer the window's message boxes and file dialog.
#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <optional>
#include <string>
#include <vector>

#include "ComPort.h"
#include "MessageBox.h"
#include "OpenDialog.h"
#include "TfUpdate.h"

// Records every box instead of showing it; restores the previous runner.
class TBoxRecorder {
 public:
  TBoxRecorder()
      : FPrevious(SetMessageBoxRunner(
            [this](QWidget*, const TMessageBoxRequest& Box) { Boxes.push_back(Box); })) {}
  ~TBoxRecorder() { SetMessageBoxRunner(FPrevious); }
  std::vector<TMessageBoxRequest> Boxes;

 private:
  TMessageBoxRunner FPrevious;
};

// Answers the file dialog with Choice (nothing = cancel) and records what the
// dialog was asked to show.
class TDialogAnswer {
 public:
  TDialogAnswer()
      : FPrevious(SetOpenDialogRunner([this](QWidget*, TOpenDialog& Dialog) {
          Seen.push_back(Dialog);
          if (!Choice) return false;
          Dialog.FileName = *Choice;
          return true;
        })) {}
  ~TDialogAnswer() { SetOpenDialogRunner(FPrevious); }
  std::optional<QString> Choice;
  std::vector<TOpenDialog> Seen;

 private:
  TOpenDialogRunner FPrevious;
};

class WindowTest : public testing::Test {
 protected:
  TCOMPort Port;
  TfUpdate W{Port, [] { return TPortMap([](int) { return std::string(); }); }};
  TBoxRecorder Recorder;
};
