// The port survey: walks the port numbers in the search's order and asks the
// platform about each device.
#include "PortSurvey.h"

#include "PortMap.h"

namespace {
const char* const cPortPrefix = "COM";
}

std::vector<TPortReport> SurveyPorts(const TPortMapSource& PortMaps) {
  const TPortMap Map = PortMaps();
  std::vector<TPortReport> Reports;
  for (int n = cFirstAutoPort; n <= cLastAutoPort; ++n) {
    TPortReport Report;
    Report.Device = Map(n);
    if (Report.Device.empty() || !DescribeDevice(Report.Device, Report.Info)) continue;
    Report.PortText = cPortPrefix + std::to_string(n);
    Report.Access = CheckPortAccess(Report.Device, Report.Detail);
    Report.Facts = GatherPortFacts(Report.Device, Report.Access);
    Reports.push_back(std::move(Report));
  }
  return Reports;
}

std::string PortAccessText(const TPortReport& Report) {
  switch (Report.Access) {
    case TPortAccess::Ok:
      return "ok";
    case TPortAccess::PermissionDenied:
      return "permission denied";
    case TPortAccess::Busy:
      return "busy";
    case TPortAccess::Absent:
      return "absent";
    case TPortAccess::Failed:
      break;
  }
  return "cannot open: " + Report.Detail;
}

TPortAccess AccessOfError(std::int32_t Code, std::string& Detail) {
  const TPortAccess Access = PortAccessOfError(Code);
  if (Access == TPortAccess::Failed) Detail = SystemErrorText(Code);
  return Access;
}
