// The record of one unit an operation worked on, for a production line that
// must later tell which image went into which controller and how it ended:
// one JSON object on one line, appended to a file several runs share.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "QuarnelVersion.h"

// Texts left empty and numbers at their "unknown" value are written as null.
struct TUnitRecord {
  std::chrono::system_clock::time_point End;  // when the operation ended
  std::string Host;                           // HostName()
  std::string ToolVersion = cQuarnelVersion;
  std::string Command;          // "update" or "version"
  std::string Port;             // as typed, or as the search shows it: "COM3", "/dev/ttyUSB0"
  std::string Device;           // the device opened; empty when none was
  std::string UsbSerial;        // the adapter's serial number (UsbSerialNumber); empty when unknown
  std::int32_t ModelCode = -1;  // as the controller reported it; -1 when not read
  int McuCount = 0;             // the MCUs of its model; 0 while the model is unknown
  std::string FileName;         // as given; empty for "version"
  std::int64_t FileSize = -1;   // bytes read from it; -1 when not read
  std::string FileSha256;       // Sha256Hex of those bytes; empty when not read
  std::int32_t BaudRate = 0;    // the rate the controller answered at; 0 when not found
  bool Bus = false;             // it answered on an echoing bus (the link is null while not found)
  bool PcDirectMode = false;
  std::int32_t BlocksWritten = 0;  // acknowledged, all MCUs together
  std::int64_t DurationMs = 0;     // the operation's wall time, whole milliseconds
  std::string Outcome;             // its name in the JSON result: "done", "transfer-failed", ...
  int ExitStatus = 0;
};

// "2024-05-01T12:34:56.789Z": UTC, milliseconds, whatever the local zone.
std::string UtcTimeText(std::chrono::system_clock::time_point Time);

// The record as one JSON object, without a line break. Keys, in order: time,
// host, tool_version, command, port, device, usb_serial, model_code, mcus,
// file, file_size, sha256, link ("plain"/"bus"), baud, pc_direct,
// blocks_written, duration_ms, outcome, status.
std::string RecordLine(const TUnitRecord& Record);
