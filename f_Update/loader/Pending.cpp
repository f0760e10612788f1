// Placeholders for the operations not built yet; each later piece of work
// removes its own entry from this file.
#include "Loader.h"

void TLoader::SendCmd(const std::string&) {}
bool TLoader::WaitResponse(std::int32_t, float) { return false; }
bool TLoader::LinkToMC() { return false; }
void TLoader::QueryVersion() {}
void TLoader::UpdateFirmware() {}
bool TLoader::WriteBufferedData() { return false; }
void Delay(std::int32_t) {}
