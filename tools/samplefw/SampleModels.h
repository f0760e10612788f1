// Which model bytes a sample file may carry: those whose class the model
// table gives the sample's layout (one or two PIC16F886, file length and
// model byte offset of SampleImage.h), so a controller of that class accepts
// the file. Derived from the model table, never listed by hand.
#pragma once

#include <cstdint>
#include <string>

namespace samplefw {

// True when a file of the sample's layout with this model byte belongs to a
// class of the model table.
bool FitsSampleLayout(std::uint8_t ModelByte);

// One line per class that fits: the model bytes for it, the controller codes
// that accept such a file and the MCUs the class has. For the usage text.
std::string SampleModelsText();

}  // namespace samplefw
