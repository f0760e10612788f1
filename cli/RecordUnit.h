// --record: one line for a controller and its operation, appended and on
// disk before the operation's end is reported.
#pragma once

#include <string>

#include "CliArgs.h"
#include "Loader.h"

// Appends the line for the operation Loader just ended on Port (as the
// user named it, or as the search found it). Returns why it could not be
// written; empty when it was.
std::string RecordUnit(const TCliOptions& Options, const std::string& Port, const TLoader& Loader,
                       double Seconds, int Status);
