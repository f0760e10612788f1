// The bootloader transfer's fixed pauses and waits, in one place: the
// transfer keeps to them and the estimate of a transfer's duration counts
// them, so the two cannot drift apart.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr std::int32_t cBootloaderBaud = 9600;  // entry speed of the models that need it
constexpr float cEntryTimeOutSecs = 0.5f;       // an unanswered entry command costs this
constexpr std::int32_t cDotPause = 200;         // ms before and after the dot
constexpr float cStartTimeOutSecs = 15.0f;      // the bootloader erases its flash first
constexpr std::int32_t cAfterStartPause = 500;  // ms after the start reply
// A hand controller in PC Direct Mode passes only small pieces at a time.
constexpr std::size_t cDirectModePiece = 64;
constexpr std::int32_t cDirectModePause = 100;  // ms after every piece, the last included
constexpr std::int32_t cClosingPause = 100;     // lets the last command leave the port
