// Placeholders for the operations not built yet; each later piece of work
// removes its own entry from this file.
#include "Loader.h"

bool TLoader::LinkToMC() { return false; }
void TLoader::QueryVersion() {}
void TLoader::UpdateFirmware() {}
