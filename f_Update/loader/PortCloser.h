// Closes the port when a scope ends, however it ends.
#pragma once

#include "ComPort.h"

class TPortCloser {
 public:
  explicit TPortCloser(TCOMPort& Port) : FPort(Port) {}
  ~TPortCloser() { FPort.Close(); }
  TPortCloser(const TPortCloser&) = delete;
  TPortCloser& operator=(const TPortCloser&) = delete;

 private:
  TCOMPort& FPort;
};
