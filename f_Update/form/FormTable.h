// The main window as data, for every toolkit: its controls with their
// places, captions, fonts, tab order and start states, and the fixed texts
// and colours of the window. Layout values are pixels at 96 dpi. No toolkit
// here: the Qt window and the Win32 window both build from these tables.
#pragma once

#include <cstdint>
#include <string>

constexpr const char* cAppTitle = "Quarnel";
// Caption of the program's own message boxes.
constexpr const char* cErrorCaption = "Error";

constexpr int cClientWidth = 483;
constexpr int cClientHeight = 313;
// Character height of the window's font, in pixels (8 points).
constexpr int cWindowFontPixels = 11;
// "MS Sans Serif" is one platform's face; these sans-serif faces are close in
// width to it, best first. A toolkit takes any sans-serif face when none is present.
constexpr const char* cFontFamilies[] = {"MS Sans Serif", "Microsoft Sans Serif",
                                         "Liberation Sans", "Arial",
                                         "Helvetica", "Nimbus Sans",
                                         "DejaVu Sans"};

// The port list offers COM1 to COM128; its text field starts at the first.
constexpr int cPortListCount = 128;
std::string PortListItem(int Number);  // "COM<Number>"

// The file-open dialog.
constexpr const char* cPGMDefaultExt = "QRV";
constexpr const char* cPGMFilter = "Motot Controller Firmware File[*.QRV]|*.QRV";

struct TRgb {
  std::uint8_t Red, Green, Blue;
};
constexpr TRgb cPromptSuccessColor{0, 255, 0};
constexpr TRgb cPromptFailureColor{255, 0, 0};

// The controls, in the order the window declares them.
enum class TControlId {
  lbPrompt,
  Label1,
  ePGMFileName,
  btSelectPGMFile,
  btPGMLoad,
  Label2,
  btVersion,
  cbAutoSelectCOMPort,
  cbPort,
  lbCOMPort,
  Label4,
  cbHighSpeed,
  cbPCDirectMode,
};
constexpr int cControlCount = 13;

enum class TControlKind { Label, StatusLine, Edit, PushButton, CheckBox, ComboBox };

// How a fixed label takes the size of its text. The places were drawn for a
// narrower face, so a label whose text needs more room grows: a caption in
// front of a control grows to the left, so that it never runs under the
// control; the others grow to the right and down.
enum class TLabelFit { None, KeepRightEdge, KeepLeftEdge };

// Columns: id, name, kind, left, top, width, height, caption ("&" marks the
// access letter), font pixels (0: the window's), tab index (-1: takes no
// focus), enabled, checked, visible at start, how a label fits its text,
// text centred in the control's box (else at its top left).
struct TControlRow {
  TControlId Id;
  const char* Name;
  TControlKind Kind;
  int Left, Top, Width, Height;
  const char* Caption;
  int FontPixels;
  int Tab;
  bool Enabled, Checked, Visible;
  TLabelFit Fit;
  bool CentreText;
};
extern const TControlRow cFormControls[cControlCount];

const TControlRow& ControlRow(TControlId Id);
// The caption a control starts with: Label4's is the version line.
std::string StartCaption(const TControlRow& Row);
// "Ver. <version>", from the one version number.
std::string VersionCaption();
// The access letter of a caption ("&Update" -> 'U'), or 0 when it has none.
char AccessLetter(const char* Caption);
