// The ports a search would try, with what the system knows of each and
// whether it can be opened now. Nothing is sent to any of them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ComPort.h"
#include "PortFacts.h"
#include "PortMap.h"

struct TPortReport {
  std::string PortText;  // "COM" and the port number as the search shows it, or a typed path
  std::string Device;    // what the port object would open
  std::string Info;      // what the system knows of it; empty when nothing
  TPortAccess Access = TPortAccess::Failed;
  std::string Detail;  // the system's words when Access is Failed
  TPortFacts Facts;    // what explains Access, when it is not Ok
};

// Every port number a search with automatic detection tries, in its order,
// whose device exists. The mapping is made once, as a search makes it.
std::vector<TPortReport> SurveyPorts(const TPortMapSource& PortMaps);

// "ok", "permission denied", "busy", "absent", or "cannot open: <detail>".
std::string PortAccessText(const TPortReport& Report);

// The class of a system error from opening or locking a port; Detail gets
// the system's words when the class is Failed. The one classification of
// both the survey and the search.
TPortAccess AccessOfError(std::int32_t Code, std::string& Detail);

// Per platform. False when the system has no such device; otherwise Info
// gets what it knows of it (USB identity, driver), possibly nothing.
bool DescribeDevice(const std::string& Device, std::string& Info);
// The serial number of the USB adapter behind Device, as its descriptor gives
// it (untrusted text, kept as data); empty when the system does not say, as
// for a port that is no USB adapter or one without a serial number. Always
// empty on Windows, whose port names do not lead to the USB device without
// walking the device tree.
std::string UsbSerialNumber(const std::string& Device);
// Opens and locks the device exactly as the port object's Open does, without
// configuring the line, then lets it go again.
TPortAccess CheckPortAccess(const std::string& Device, std::string& Detail);

#ifndef _WIN32
// What sysfs under SysClassTty (normally "/sys/class/tty") knows of the tty
// TtyName: "USB vvvv:pppp <maker> <product> serial <s> (driver <d>)" for a
// USB adapter, "driver <d>" for other hardware, empty otherwise. Texts come
// from the device itself and are passed on as they are: the caller makes
// them safe to show.
std::string DescribeTty(const std::string& SysClassTty, const std::string& TtyName);
// The serial number sysfs under SysClassTty gives for the USB device above the
// tty TtyName; empty when there is none.
std::string UsbSerialOfTty(const std::string& SysClassTty, const std::string& TtyName);
// The name under DevFolder (normally "/dev") of the device Device resolves
// to, as sysfs names the tty: "ttyUSB0" for /dev/ttyUSB0 and for any link to
// it, such as one under /dev/serial/by-id. Empty when Device does not exist
// or resolves to nothing under DevFolder.
std::string TtyNameOf(const std::string& DevFolder, const std::string& Device);
#endif
