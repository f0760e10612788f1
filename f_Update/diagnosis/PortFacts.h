// What the system says of a port that did not open, for the next step given
// with it: who may open the device, and who holds it. Per platform; where the
// system does not say, the facts stay empty.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "ComPort.h"

// A process that holds a port.
struct TPortHolder {
  std::int64_t Pid = 0;
  std::string Name;  // as the system names the process; may be empty
};

// Who may open a device file, and whether we are among them.
struct TDeniedFacts {
  bool Known = false;            // false when the device could not be examined
  std::string User;              // the user we run as
  std::string Owner;             // the device's owner
  std::string Group;             // the device's group
  std::string Mode;              // its permissions as ls shows them: "crw-rw----"
  bool CharDevice = false;       // a character device: only such a device can be a serial port
  bool GroupMayOpen = false;     // the group may read and write it
  bool AccountInGroup = false;   // the user's account is a member of the group now
  bool SessionHasGroup = false;  // this process runs with the group
};

struct TPortFacts {
  TDeniedFacts Denied;               // for a permission denied
  std::vector<TPortHolder> Holders;  // for a port in use; empty when the system does not say
};

// The facts that explain Access for Device; nothing for the other causes.
TPortFacts GatherPortFacts(const std::string& Device, TPortAccess Access);

#ifdef __linux__
// The processes under ProcRoot (normally "/proc") with a descriptor open on
// Device, told by the paths their descriptor links name: nothing is looked up
// through another process's descriptor, and a process that ends during the
// scan is passed over.
std::set<std::int64_t> ProcessesWithOpen(const std::string& ProcRoot, const std::string& Device);
#endif

// Texts on where this platform keeps its serial ports.
struct TPlatformPortTexts {
  const char* NoDevice;        // the cause when no serial device is present at all
  const char* NoDeviceAdvice;  // and what to do
  const char* Numbering;       // how port numbers map to devices
  const char* TypedExamples;   // what a typed port may look like
};
const TPlatformPortTexts& PlatformPortTexts();
