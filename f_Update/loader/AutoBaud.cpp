// The auto-baud burst: lets a bootloader with automatic speed detection
// measure the link speed from a pair of "U" characters.
#include <algorithm>
#include <exception>

#include "Loader.h"

namespace {

constexpr int cAutoBaudAttempts = 2;
constexpr std::int32_t cAutoBaudHighRate = 38400;  // first attempt with the high-speed box
constexpr std::int32_t cAutoBaudRate = 9600;
constexpr std::int32_t cAfterBurstPause = 100;  // ms for the bootloader to answer
constexpr std::int32_t cBetweenBytesPause = 20;  // ms between the bytes of the second half

const std::string cSyncChar = "U";
const std::string cBreakChar(1, '\0');

}  // namespace

std::int32_t TLoader::ReadWaitingIntoResponse(bool DrainAll) {
  std::int32_t Waiting = SerialPort.InQueCount();
  std::int32_t InResponse = 0;
  do {
    const std::int32_t Chunk = std::min<std::int32_t>(Waiting, cResponseSize);
    if (Chunk <= 0) break;
    InResponse = static_cast<std::int32_t>(SerialPort.Read(Response.data(), Chunk));
    if (InResponse <= 0) break;
    Waiting -= InResponse;
  } while (DrainAll);
  return std::max<std::int32_t>(InResponse, 0);
}

namespace {

// Judges what the bootloader sent back: only the last byte read counts.
bool AnsweredWithDot(TLoader& L) {
  const std::int32_t Count = L.ReadWaitingIntoResponse(true);
  return Count > 0 && L.Response[static_cast<std::size_t>(Count - 1)] == '.';
}

bool FirstHalf(TLoader& L) {
  L.SerialPort.Open();
  L.PutAndSend(cSyncChar);
  L.PutAndSend(cSyncChar);
  Delay(cAfterBurstPause);
  const bool Ok = AnsweredWithDot(L);
  L.SerialPort.Close();
  return Ok;
}

bool SecondHalf(TLoader& L) {
  L.SerialPort.Open();
  L.PutAndSend(cBreakChar);
  Delay(cBetweenBytesPause);
  L.PutAndSend(cSyncChar);
  Delay(cBetweenBytesPause);
  L.PutAndSend(cSyncChar);
  Delay(cAfterBurstPause);
  const bool Ok = AnsweredWithDot(L);
  L.SerialPort.Close();
  return Ok;
}

}  // namespace

bool TLoader::Try_Auto_Baud() {
  bool Answered = false;
  for (int Attempt = 0; Attempt < cAutoBaudAttempts; ++Attempt) {
    const bool HighSpeed = Attempt == 0 && View.HighSpeedVisible() && View.HighSpeedChecked();
    SerialPort.BaudRate = HighSpeed ? cAutoBaudHighRate : cAutoBaudRate;
    try {
      Answered = FirstHalf(*this) || SecondHalf(*this);
    } catch (const std::exception&) {
      // A failed attempt is no error: the next one, or the caller, goes on.
      Answered = false;
    }
    SerialPort.Close();
    if (Answered) break;
  }
  return Answered;
}
