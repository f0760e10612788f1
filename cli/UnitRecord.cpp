#include "UnitRecord.h"

#include <cstdio>

#include "TextOut.h"

namespace {

constexpr std::int64_t cMsPerDay = 86400000;

// Year, month and day of a day count from 1970-01-01 in the proleptic
// Gregorian calendar, by 400-year eras so no table and no time zone is
// involved (gmtime differs between the platforms and is not reentrant).
void CivilDate(std::int64_t Days, std::int64_t& Year, int& Month, int& Day) {
  Days += 719468;  // from 0000-03-01, so a leap day ends its year
  const std::int64_t Era = (Days >= 0 ? Days : Days - 146096) / 146097;
  const std::int64_t DayOfEra = Days - Era * 146097;
  const std::int64_t YearOfEra =
      (DayOfEra - DayOfEra / 1460 + DayOfEra / 36524 - DayOfEra / 146096) / 365;
  const std::int64_t DayOfYear = DayOfEra - (365 * YearOfEra + YearOfEra / 4 - YearOfEra / 100);
  const std::int64_t MonthFromMarch = (5 * DayOfYear + 2) / 153;
  Day = static_cast<int>(DayOfYear - (153 * MonthFromMarch + 2) / 5 + 1);
  Month = static_cast<int>(MonthFromMarch < 10 ? MonthFromMarch + 3 : MonthFromMarch - 9);
  Year = YearOfEra + Era * 400 + (Month <= 2 ? 1 : 0);
}

void AddText(TJsonObject& Json, const char* Key, const std::string& Text) {
  if (Text.empty()) {
    Json.AddNull(Key);
  } else {
    Json.Add(Key, Text);
  }
}

template <typename TNumber>
void AddKnown(TJsonObject& Json, const char* Key, TNumber Value, bool Known) {
  if (Known) {
    Json.Add(Key, Value);
  } else {
    Json.AddNull(Key);
  }
}

}  // namespace

std::string UtcTimeText(std::chrono::system_clock::time_point Time) {
  const std::int64_t Ms =
      std::chrono::floor<std::chrono::milliseconds>(Time.time_since_epoch()).count();
  const std::int64_t Days = (Ms >= 0 ? Ms : Ms - (cMsPerDay - 1)) / cMsPerDay;
  const std::int64_t InDay = Ms - Days * cMsPerDay;
  std::int64_t Year = 0;
  int Month = 0, Day = 0;
  CivilDate(Days, Year, Month, Day);
  char Text[64];  // room for any year the compiler can imagine
  std::snprintf(Text, sizeof Text, "%04lld-%02d-%02dT%02d:%02d:%02d.%03dZ",
                static_cast<long long>(Year), Month, Day, static_cast<int>(InDay / 3600000),
                static_cast<int>(InDay / 60000 % 60), static_cast<int>(InDay / 1000 % 60),
                static_cast<int>(InDay % 1000));
  return Text;
}

std::string RecordLine(const TUnitRecord& R) {
  const bool Found = R.BaudRate > 0;
  TJsonObject Json;
  Json.Add("time", UtcTimeText(R.End)).Add("host", R.Host).Add("tool_version", R.ToolVersion);
  Json.Add("command", R.Command).Add("port", R.Port);
  AddText(Json, "device", R.Device);
  AddText(Json, "usb_serial", R.UsbSerial);
  AddKnown(Json, "model_code", R.ModelCode, R.ModelCode >= 0);
  AddKnown(Json, "mcus", R.McuCount, R.McuCount > 0);
  AddText(Json, "file", R.FileName);
  AddKnown(Json, "file_size", R.FileSize, R.FileSize >= 0);
  AddText(Json, "sha256", R.FileSha256);
  AddKnown(Json, "link", R.Bus ? "bus" : "plain", Found);
  AddKnown(Json, "baud", R.BaudRate, Found);
  Json.Add("pc_direct", R.PcDirectMode)
      .Add("blocks_written", R.BlocksWritten)
      .Add("duration_ms", R.DurationMs)
      .Add("outcome", R.Outcome)
      .Add("status", R.ExitStatus);
  return Json.Text();
}
