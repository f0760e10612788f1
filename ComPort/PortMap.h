// Port number to device mapping. The window always speaks of "COM" and a
// number; what device that number opens is the platform's business.
#pragma once

#include <functional>
#include <string>

// Device for port number n, or an empty text when no such port exists.
using TPortMap = std::function<std::string(int n)>;
// Called once when a search starts, so devices are listed once per search.
using TPortMapSource = std::function<TPortMap()>;

// The platform's mapping: Windows "\\.\COMn"; POSIX the n-th present device of
// /dev/ttyUSB*, /dev/ttyACM*, /dev/ttyS* (macOS /dev/cu.*), each group in
// numeric order.
TPortMap SystemPortMap();
