// The platform's part of the unit record: appending a line to a file that
// several processes append to at once, and the computer's name.
#pragma once

#include <string>

// Appends Line and a line break to the regular file Path (created, mode 0644
// less the umask, when missing) in one write, so lines from other processes
// never interleave with it, and has the system put it on disk before
// returning. False, with Error saying what failed and the system's words,
// when any step fails or Line holds a line break; the line may then be
// missing, or (disk full) partly there.
bool AppendRecordLine(const std::string& Path, const std::string& Line, std::string& Error);

// This computer's name as the system gives it; empty when it does not say.
std::string HostName();
