// The firmware version shown for a controller running its application.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The version command; the running application answers it with a reply of
// cVersionReplySize bytes (the search uses it as its application probe).
inline const std::string cVersionCommand = ":e1\r";
constexpr std::int32_t cVersionReplySize = 8;

// From the application version reply R0..R7: "$" R1 R2 and "$" R3 R4 in
// decimal, then R5 R6 as they are, joined by "." (e.g. "3.28.04"). R0 and R7
// are not looked at. Throws EConvertError for a non-hexadecimal R1..R4 (the
// first pair is converted first) and std::out_of_range for fewer than 7 bytes.
std::string VersionText(const std::uint8_t* Reply, std::size_t Size);
