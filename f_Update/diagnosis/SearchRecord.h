// What a search for the controller tried, port by port, and the text that
// tells a user why no controller was found. Plain data and plain text: each
// front end shows it in its own way.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "PortSurvey.h"

// How one port of a search ended.
enum class TPortOutcome {
  NotOpened,  // it did not open: Report.Access says why
  NoAnswer,   // it opened, and nothing answered at any rate
  Found,      // the controller answered
};

struct TPortTried {
  // The port, its device (empty when the number names none), what the
  // system knows of it and, when it did not open, why.
  TPortReport Report;
  bool Exists = false;  // the system knew the device when the search came to it
  TPortOutcome Outcome = TPortOutcome::NotOpened;
  std::vector<std::int32_t> RatesProbed;  // the rates at which it opened and was asked
};

struct TSearchRecord {
  bool Typed = false;             // only the port typed into the box was searched
  std::string TypedText;          // the typed text, when it named no port at all
  std::vector<TPortTried> Ports;  // in the order they were tried
};

// Starts the record of a port the search comes to; Info is filled from the
// system.
TPortTried& NotePort(TSearchRecord& Record, const std::string& PortText, const std::string& Device);
// The port did not open; Code is the port's LastOpenError.
void NoteOpenFailure(TPortTried& Port, std::int32_t Code);

// Asks the system what explains each port that did not open (its group, the
// program holding it). Run after a failed search, so the search itself does
// no more than before.
void GatherFacts(TSearchRecord& Record);

// "COM1: /dev/ttyUSB0, USB 0403:6001 FTDI FT232R USB UART (driver ftdi_sio)":
// the port, the device behind it and what the system knows of it.
std::string PortDeviceText(const TPortReport& Port);

// The details of a failed search: what was tried, most useful first, each
// cause with its next step. Empty for a search that found the controller.
std::string SearchDetails(const TSearchRecord& Record);

// The same for ports that the survey found would not open.
std::string SurveyDetails(const std::vector<TPortReport>& Reports);
