// Placeholders for the operations not built yet; each later piece of work
// removes its own entry from this file.
#include "Loader.h"

void TLoader::UpdateFirmware() {}
