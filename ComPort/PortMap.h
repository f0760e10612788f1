// Port number to device mapping. The window always speaks of "COM" and a
// number; what device that number opens is the platform's business.
#pragma once

#include <functional>
#include <string>
#include <vector>

// Port numbers a search with automatic detection tries, in this order.
constexpr int cFirstAutoPort = 1;
constexpr int cLastAutoPort = 255;

// Device for port number n, or an empty text when no such port exists.
using TPortMap = std::function<std::string(int n)>;
// Called once when a search starts, so devices are listed once per search.
using TPortMapSource = std::function<TPortMap()>;

// The platform's mapping: Windows "\\.\COMn"; POSIX the n-th present device of
// /dev/ttyUSB*, /dev/ttyACM*, /dev/ttyS* (macOS /dev/cu.*), each group in
// numeric order.
TPortMap SystemPortMap();

// How serial devices are named in /dev.
enum class TDeviceNaming {
  Linux,  // ttyUSB<n>, then ttyACM<n>, then ttyS<n>
  MacOS,  // cu.<anything>
};

// The serial devices among Names (entries of /dev, without the folder) as
// full paths, in port order: group by group, each group in numeric order
// (numbers compared by value, however long), each device once.
std::vector<std::string> OrderSerialDevices(const std::vector<std::string>& Names,
                                            TDeviceNaming Naming);

// Port n (counted from 1) is Devices[n - 1]; 0, negative or past the end
// names no device.
TPortMap PortMapFromList(std::vector<std::string> Devices);
