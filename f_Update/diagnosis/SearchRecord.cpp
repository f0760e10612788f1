// The search record and the details text built from it. The text is the
// same for every front end: plain lines, a port and its cause, then the next
// step, shared by a run of ports that need the same one.
#include "SearchRecord.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace {

const char* const cIndent = "  ";
const char* const cNoAnswerAdvice =
    "Check that the motor controller has power and that its cable is plugged in. If the "
    "computer reaches it through a hand controller, put the hand controller in PC Direct Mode.";
const char* const cBusyAdvice = "Close that program, then try again.";
const char* const cAbsentAdvice =
    "Check that the adapter is plugged in and that the name is right.";
const char* const cAskAdministrator =
    "Ask the administrator of this computer for access to the device.";
const char* const cLogInAgain = "log out and in again: the group counts from the next login.";
const char* const cRootLikeAdvice =
    "That group gives far more than this device: ask the administrator of this computer for "
    "access to the device.";
const char* const cNotSerial = "Could not be opened: not a serial device.";
// Groups whose members may do what root does, or read what only root may:
// never the advice for a serial port.
const char* const cRootLikeGroups[] = {"root", "disk", "kmem", "shadow", "tty", "sudo", "wheel"};
const char* const cShellSafe = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789._-";

// The causes a user can act on at once come first.
enum TRank { cRankDenied, cRankBusy, cRankNoAnswer, cRankFailed, cRankAbsent, cRankFound };

// What happened to a port, and the next step.
struct TCause {
  int Rank = cRankFailed;
  std::string Cause;
  std::string Advice;
};

// One port in the details: the port and its device, then its cause.
struct TEntry {
  std::string Port;
  TCause Why;
};

std::string Quoted(const std::string& Text) {
  return "\"" + Text + "\"";
}

// A word a shell takes as it is: group names usually are; any other is
// single-quoted so the command stays one to copy.
std::string ShellWord(const std::string& Word) {
  if (!Word.empty() && Word.find_first_not_of(cShellSafe) == std::string::npos) return Word;
  std::string Out = "'";
  for (const char C : Word) Out += C == '\'' ? std::string("'\\''") : std::string(1, C);
  return Out + "'";
}

// "a", "a or b", "a, b or c".
std::string ListWords(const std::vector<std::string>& Words, const char* Last) {
  std::string Out;
  for (std::size_t I = 0; I < Words.size(); ++I) {
    if (I > 0) Out += I + 1 == Words.size() ? Last : ", ";
    Out += Words[I];
  }
  return Out;
}

std::string RateList(const std::vector<std::int32_t>& Rates) {
  std::vector<std::string> Words;
  for (const std::int32_t Rate : Rates) Words.push_back(std::to_string(Rate));
  return ListWords(Words, " or ");
}

bool RootLike(const std::string& Group) {
  return std::any_of(std::begin(cRootLikeGroups), std::end(cRootLikeGroups),
                     [&](const char* Name) { return Group == Name; });
}

std::string JoinAdvice(const std::string& Group) {
  if (RootLike(Group)) return cRootLikeAdvice;
  return "Join the group with\n    sudo usermod -aG " + ShellWord(Group) + " \"$USER\"\nthen " +
         cLogInAgain;
}

TCause Denied(const TDeniedFacts& F) {
  if (!F.Known) return {cRankDenied, "Permission denied.", ""};
  // A disk or a file was named: no group makes it a port, as the port's own
  // Open says of it when it does open.
  if (!F.CharDevice) return {cRankFailed, cNotSerial, ""};
  const std::string You = "you (" + F.User + ")";
  const std::string Group = Quoted(F.Group);
  if (!F.GroupMayOpen)
    return {cRankDenied,
            "Permission denied: its permissions (" + F.Mode + ", owner " + F.Owner + ", group " +
                Group + ") do not let " + You + " open it.",
            cAskAdministrator};
  if (!F.AccountInGroup)
    return {cRankDenied,
            "Permission denied: the device belongs to group " + Group + ", and " + You +
                " are not in it.",
            JoinAdvice(F.Group)};
  if (!F.SessionHasGroup)
    return {cRankDenied,
            "Permission denied: " + You + " are in group " + Group +
                ", which may open the device, but this session began before you joined it.",
            std::string("Log out and in again: the group counts from the next login.")};
  return {cRankDenied,
          "Permission denied, although " + You + " are in group " + Group +
              ", which may open the device: something else refuses it, such as an access "
              "control list or a security policy.",
          cAskAdministrator};
}

TCause Busy(const std::vector<TPortHolder>& Holders) {
  std::vector<std::string> Names;
  for (const TPortHolder& H : Holders) {
    const std::string Process = "process " + std::to_string(H.Pid);
    Names.push_back(H.Name.empty() ? Process : H.Name + " (" + Process + ")");
  }
  const std::string Cause = Names.empty()
                                ? "In use by another program."
                                : "In use by another program: " + ListWords(Names, " and ") + ".";
  return {cRankBusy, Cause, cBusyAdvice};
}

// Why a port did not open, and what to do.
TCause NotOpened(const TPortReport& R) {
  switch (R.Access) {
    case TPortAccess::PermissionDenied:
      return Denied(R.Facts.Denied);
    case TPortAccess::Busy:
      return Busy(R.Facts.Holders);
    case TPortAccess::Absent:
      if (R.Device.empty())
        return {cRankAbsent, "No serial device has this number.", PlatformPortTexts().Numbering};
      return {cRankAbsent, "Not present: the system has no such device.", cAbsentAdvice};
    case TPortAccess::Failed:
      return {cRankFailed, "Could not be opened: " + R.Detail + ".", ""};
    case TPortAccess::Ok:
      break;
  }
  return {cRankFailed, "Could not be opened.", ""};
}

TCause NoAnswer(const TPortTried& P) {
  if (P.RatesProbed.empty())
    return {cRankNoAnswer, "Opened once, but not again at any rate.", cNoAnswerAdvice};
  return {cRankNoAnswer, "Opened, but nothing answered at " + RateList(P.RatesProbed) + " baud.",
          cNoAnswerAdvice};
}

TEntry EntryOf(const TPortTried& P) {
  TEntry E{PortDeviceText(P.Report), {}};
  switch (P.Outcome) {
    case TPortOutcome::NotOpened:
      E.Why = NotOpened(P.Report);
      break;
    case TPortOutcome::NoAnswer:
      E.Why = NoAnswer(P);
      break;
    case TPortOutcome::Found:
      E.Why = {cRankFound, "Found the controller.", ""};
      break;
  }
  return E;
}

std::string Render(std::vector<TEntry> Entries) {
  std::stable_sort(Entries.begin(), Entries.end(),
                   [](const TEntry& A, const TEntry& B) { return A.Why.Rank < B.Why.Rank; });
  std::string Out;
  for (std::size_t I = 0; I < Entries.size(); ++I) {
    const TCause& Why = Entries[I].Why;
    Out += Entries[I].Port + "\n" + cIndent + Why.Cause + "\n";
    const bool RunGoesOn = I + 1 < Entries.size() && Entries[I + 1].Why.Rank == Why.Rank &&
                           Entries[I + 1].Why.Advice == Why.Advice;
    if (RunGoesOn) continue;
    if (!Why.Advice.empty()) Out += Why.Advice + "\n";
    if (I + 1 < Entries.size()) Out += "\n";
  }
  if (!Out.empty()) Out.pop_back();
  return Out;
}

}  // namespace

TPortTried& NotePort(TSearchRecord& Record, const std::string& PortText,
                     const std::string& Device) {
  TPortTried Port;
  Port.Report.PortText = PortText;
  Port.Report.Device = Device;
  Port.Report.Access = Device.empty() ? TPortAccess::Absent : TPortAccess::Ok;
  if (!Device.empty()) Port.Exists = DescribeDevice(Device, Port.Report.Info);
  Record.Ports.push_back(std::move(Port));
  return Record.Ports.back();
}

void NoteOpenFailure(TPortTried& Port, std::int32_t Code) {
  Port.Outcome = TPortOutcome::NotOpened;
  Port.Report.Access = AccessOfError(Code, Port.Report.Detail);
}

void GatherFacts(TSearchRecord& Record) {
  for (TPortTried& P : Record.Ports) {
    if (P.Outcome != TPortOutcome::NotOpened || P.Report.Device.empty()) continue;
    P.Report.Facts = GatherPortFacts(P.Report.Device, P.Report.Access);
  }
}

std::string PortDeviceText(const TPortReport& Port) {
  std::string Text = Port.PortText;
  const bool DeviceShown = !Port.Device.empty() && Port.Device != Port.PortText;
  if (DeviceShown) Text += ": " + Port.Device;
  if (!Port.Info.empty()) Text += (DeviceShown ? ", " : ": ") + Port.Info;
  return Text;
}

std::string SearchDetails(const TSearchRecord& Record) {
  const auto Found = [](const TPortTried& P) { return P.Outcome == TPortOutcome::Found; };
  if (std::any_of(Record.Ports.begin(), Record.Ports.end(), Found)) return {};
  const TPlatformPortTexts& Texts = PlatformPortTexts();
  if (Record.Typed && Record.Ports.empty())
    return Quoted(Record.TypedText) + " names no port: give " + Texts.TypedExamples + ".";
  std::vector<TEntry> Entries;
  for (const TPortTried& P : Record.Ports) {
    // A number of an automatic search whose device the system did not know
    // is no port at all (Windows tries every COM number).
    if (!Record.Typed && !P.Exists && P.Outcome == TPortOutcome::NotOpened) continue;
    Entries.push_back(EntryOf(P));
  }
  if (Entries.empty()) return std::string(Texts.NoDevice) + "\n" + Texts.NoDeviceAdvice;
  return Render(std::move(Entries));
}

std::string SurveyDetails(const std::vector<TPortReport>& Reports) {
  std::vector<TEntry> Entries;
  for (const TPortReport& R : Reports) {
    if (R.Access == TPortAccess::Ok) continue;
    TPortTried P;
    P.Report = R;
    Entries.push_back(EntryOf(P));
  }
  return Render(std::move(Entries));
}
