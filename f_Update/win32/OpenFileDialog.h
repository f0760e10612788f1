// The file-open dialog of the window (the system's own).
#pragma once

#include <string>

#include "ComPort.h"  // windows.h

struct TOpenFileDialog {
  std::string DefaultExt;  // appended to a name typed without an extension
  // Pairs of description and pattern list, all separated by "|"; patterns
  // within a list are separated by ";".
  std::string Filter;
  std::string FileName;  // UTF-8; the last name chosen, empty before the first

  // Shows the dialog modally, starting from FileName. True when a name was
  // chosen; FileName then holds it. A name of a file that does not exist is
  // accepted.
  bool Execute(HWND Owner);
};

// "Text|*.A;*.B|..." in the dialog's form: every part NUL-terminated, one
// more NUL at the end (c_str() gives it). A trailing description without a
// pattern list is dropped.
std::wstring DialogFilter(const std::string& Filter);
