// The application's name, as the program's start sets it; window tests run
// under the same.
#pragma once

// Call once the application object exists.
void NameApplication();
