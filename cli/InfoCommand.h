// "info": which controllers a firmware file fits and what writing it into
// them takes, from the file alone: no port is opened and nothing is sent.
#pragma once

#include <ostream>
#include <string>

// Writes, for each model class the file fits, its model codes, MCUs, blocks
// per MCU and the floor of the transfer's duration at each search rate, with
// and without PC Direct Mode; with Json as one JSON object. A file that
// cannot be opened or fits no class is said on Err (and in the JSON object)
// and gives cExitFileRefused.
int RunInfo(const std::string& FileName, bool Json, std::ostream& Out, std::ostream& Err);
