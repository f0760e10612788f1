// Port numbering of POSIX serial devices. Pure: works on names only, so the
// order is testable without the devices.
#include <algorithm>
#include <cstddef>
#include <iterator>
#include <utility>

#include "PortMap.h"

namespace {

// One group of device names: the prefix, and whether the rest must be a
// number (Linux) or may be any text (macOS).
struct TDeviceGroup {
  const char* Prefix;
  bool DigitsOnly;
};

constexpr TDeviceGroup cLinuxGroups[] = {{"ttyUSB", true}, {"ttyACM", true}, {"ttyS", true}};
constexpr TDeviceGroup cMacGroups[] = {{"cu.", false}};
constexpr const char* cDevFolder = "/dev/";

bool IsDigit(char C) {
  return C >= '0' && C <= '9';
}

bool AllDigits(const std::string& S) {
  return !S.empty() && std::all_of(S.begin(), S.end(), IsDigit);
}

// Compares two runs of digits by value without converting them, so that a
// number of any length is ordered correctly.
int CompareNumbers(const std::string& A, const std::string& B) {
  const auto SkipZeros = [](const std::string& S) {
    const auto P = S.find_first_not_of('0');
    return P == std::string::npos ? std::string() : S.substr(P);
  };
  const std::string X = SkipZeros(A);
  const std::string Y = SkipZeros(B);
  if (X.size() != Y.size()) return X.size() < Y.size() ? -1 : 1;
  return X.compare(Y);
}

std::string TakeRun(const std::string& S, std::size_t& I, bool Digits) {
  const std::size_t Start = I;
  while (I < S.size() && IsDigit(S[I]) == Digits) ++I;
  return S.substr(Start, I - Start);
}

// Natural order: runs of digits compare by value, other text as bytes.
bool NaturalLess(const std::string& A, const std::string& B) {
  std::size_t I = 0;
  std::size_t J = 0;
  while (I < A.size() && J < B.size()) {
    const bool Digits = IsDigit(A[I]);
    if (Digits != IsDigit(B[J])) return Digits;  // numbers before text
    const std::string RunA = TakeRun(A, I, Digits);
    const std::string RunB = TakeRun(B, J, Digits);
    const int C = Digits ? CompareNumbers(RunA, RunB) : RunA.compare(RunB);
    if (C != 0) return C < 0;
  }
  if ((I < A.size()) != (J < B.size())) return J < B.size();
  return A < B;  // equal by value ("ttyS01" and "ttyS1"): keep a stable order
}

std::vector<std::string> GroupMembers(const std::vector<std::string>& Names,
                                      const TDeviceGroup& Group) {
  const std::string Prefix = Group.Prefix;
  std::vector<std::string> Suffixes;
  for (const auto& Name : Names) {
    if (Name.size() <= Prefix.size() || Name.compare(0, Prefix.size(), Prefix) != 0) continue;
    std::string Rest = Name.substr(Prefix.size());
    if (Group.DigitsOnly && !AllDigits(Rest)) continue;
    Suffixes.push_back(std::move(Rest));
  }
  std::sort(Suffixes.begin(), Suffixes.end(), NaturalLess);
  Suffixes.erase(std::unique(Suffixes.begin(), Suffixes.end()), Suffixes.end());
  std::vector<std::string> Paths;
  for (const auto& S : Suffixes) Paths.push_back(cDevFolder + Prefix + S);
  return Paths;
}

}  // namespace

std::vector<std::string> OrderSerialDevices(const std::vector<std::string>& Names,
                                            TDeviceNaming Naming) {
  std::vector<std::string> Ordered;
  const auto AddGroups = [&](const auto& Groups) {
    for (const auto& G : Groups) {
      auto Members = GroupMembers(Names, G);
      std::move(Members.begin(), Members.end(), std::back_inserter(Ordered));
    }
  };
  if (Naming == TDeviceNaming::MacOS) {
    AddGroups(cMacGroups);
  } else {
    AddGroups(cLinuxGroups);
  }
  return Ordered;
}

TPortMap PortMapFromList(std::vector<std::string> Devices) {
  return [Devices = std::move(Devices)](int n) {
    if (n < 1 || static_cast<std::size_t>(n) > Devices.size()) return std::string();
    return Devices[static_cast<std::size_t>(n) - 1];
  };
}
