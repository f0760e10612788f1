// How the last long operation ended, as plain data: each front end reports
// it in its own way, without reading the texts the operation showed.
#pragma once

#include <cstdint>
#include <string>

#include "SearchRecord.h"

enum class TOutcome {
  Error,           // an error that the operation does not handle ended it (also while it runs)
  Done,            // the update completed, or the version query got its answer
  NoController,    // the search found no controller
  NoVersionReply,  // found, but the version command went unanswered
  FileNotOpened,   // the firmware file could not be opened
  FileWrongSize,   // its length is not the image size of the controller's model
  FileWrongModel,  // its model byte names another model
  NotUpgradeable,  // the controller's firmware may not be replaced by the user
  NotSupported,    // the controller's model is not in the model table
  TransferFailed,  // the transfer stopped part way: the controller needs a new update
};

struct TOperationOutcome {
  TOutcome Outcome = TOutcome::Error;
  // Where the controller was found; empty when it was not.
  std::string PortText;    // as the port box shows it: "COM3", or a device path as typed
  std::string DeviceName;  // the device that was opened
  bool InBootloader = false;
  // The version query's decoded version; empty when the controller sat in its
  // bootloader or did not answer.
  std::string VersionText;
  // What the search tried, port by port; empty when no search ran.
  TSearchRecord Search;
  // What the search and the update learnt of the unit, for a record of it.
  std::int32_t BaudRate = 0;       // the rate it answered at; 0 when not found
  bool Bus = false;                // it answered on an echoing bus
  std::int32_t ModelCode = -1;     // its model code as it reported it; -1 when not read
  int McuCount = 0;                // the MCUs of its model; 0 while the model is unknown
  std::int32_t BlocksWritten = 0;  // blocks the controller acknowledged, all MCUs together
  // More to the final message, with the next step (plain text, lines apart):
  // set when the serial adapter went away during the transfer.
  std::string Details;
};
