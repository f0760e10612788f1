// Scope guards for the clean-up of the long operations, so every way out,
// exceptions included, closes the port and gives the controls back.
#pragma once

#include "ComPort.h"
#include "LoaderView.h"

// Closes the port when a scope ends, however it ends.
class TPortCloser {
 public:
  explicit TPortCloser(TCOMPort& Port) : FPort(Port) {}
  ~TPortCloser() { FPort.Close(); }
  TPortCloser(const TPortCloser&) = delete;
  TPortCloser& operator=(const TPortCloser&) = delete;

 private:
  TCOMPort& FPort;
};

// Disables the four controls that start or feed an operation for the life of
// the scope, so no second operation can start on the port meanwhile.
class TControlsOff {
 public:
  explicit TControlsOff(ILoaderView& View) : FView(View) { FView.DisableAllComponent(); }
  ~TControlsOff() { FView.EnableAllComponent(); }
  TControlsOff(const TControlsOff&) = delete;
  TControlsOff& operator=(const TControlsOff&) = delete;

 private:
  ILoaderView& FView;
};
