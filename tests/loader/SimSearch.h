// A loader on its own port whose port numbers map to a started simulator (or
// to nothing), with a recording view: the bench for the search and the
// version query.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Loader.h"
#include "RecordingView.h"
#include "Sim.h"

inline mcsim::Config SimAt(mcsim::Mode Mode, mcsim::Link Link, int Baud) {
  mcsim::Config C;
  C.mode = Mode;
  C.link = Link;
  C.appBaud = Baud;
  C.bootBaud = Baud;
  return C;
}

class SimSearch {
 public:
  // The simulator answers as port SimPort; every other number names no device
  // unless Extra maps it.
  explicit SimSearch(const mcsim::Config& Config, int SimPort = 1) : Sim(Config) {
    Sim.Start();
    Devices[SimPort] = Sim.DevicePath();
    Port.BaudRate = 9600;
    View.Controls.PortEnabled = false;
  }
  ~SimSearch() { Sim.Stop(); }

  mcsim::Sim Sim;
  std::map<int, std::string> Devices;  // port number -> device
  std::vector<int> Mapped;             // every port number asked for, in order
  int MapSourceCalls = 0;
  TCOMPort Port;
  RecordingView View;
  TLoader Loader{Port, View, [this] {
                   ++MapSourceCalls;
                   return TPortMap([this](int n) {
                     Mapped.push_back(n);
                     const auto It = Devices.find(n);
                     return It == Devices.end() ? std::string() : It->second;
                   });
                 }};

  std::string ResponseHead(std::size_t Count) const {
    return std::string(Loader.Response.begin(), Loader.Response.begin() + Count);
  }
  bool ResponseZeroFrom(std::size_t From) const {
    for (std::size_t i = From; i < Loader.Response.size(); ++i)
      if (Loader.Response[i] != 0) return false;
    return true;
  }
  // What the controller heard (at its own speed).
  std::string Heard() const { return Sim.GetRecord().Received(true); }
};
