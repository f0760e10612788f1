// The main window on Windows, built from the system's own controls (no
// toolkit): the controls of the window's table, its small handlers through
// the shared rules, and the loader's view of the window. Control n of
// TControlId has the control ID cFirstControlId + n.
#pragma once

#include <string>

#include "ComPort.h"  // windows.h
#include "FormRules.h"
#include "GdiObject.h"
#include "Loader.h"
#include "LoaderView.h"
#include "OpenFileDialog.h"
#include "PortMap.h"
#include "WindowFonts.h"

constexpr const wchar_t* cMainWindowClass = L"QuarnelWindow";
constexpr int cFirstControlId = 1000;

class TfUpdate : public ILoaderView, private IFormControls {
 public:
  // Production: the program's Comm1 and the platform's port numbering.
  TfUpdate();
  TfUpdate(TCOMPort& Port, TPortMapSource PortMaps);
  ~TfUpdate() override;
  TfUpdate(const TfUpdate&) = delete;
  TfUpdate& operator=(const TfUpdate&) = delete;

  // Creates the window with its controls and shows it; false when the
  // system refused.
  bool Create(int ShowCommand);
  // For every loop that takes window messages: the keyboard's tab order and
  // access keys. True when the message was handled.
  bool PreTranslateMessage(MSG& Message);

  TOpenFileDialog PGMOpenDialog;
  TLoader Loader;

  // Handlers.
  void btSelectPGMFileClick();
  void ePGMFileNameChange();
  void cbAutoSelectCOMPortClick();
  void FormDblClick();
  void btVersionClick();
  void btPGMLoadClick();

  // ILoaderView.
  void SetPrompt(const std::string& Text) override;
  std::string Prompt() const override;
  void SetPromptColor(TPromptColor Color) override;
  // The status line's progress text is all the window shows of it.
  void SetProgress(const TProgress&) override {}
  using ILoaderView::ShowError;
  void ShowError(const std::string& Text, const std::string& Details) override;
  void ProcessMessages() override;
  bool AutoSelectCOMPort() const override;
  void SetAutoSelectCOMPort(bool Checked) override;
  std::string PortText() const override;
  void SetPortText(const std::string& Text) override;
  void SetPortEnabled(bool Enabled) override;
  void SetPortDevice(const std::string& Text) override;
  bool HighSpeedVisible() const override;
  bool HighSpeedChecked() const override;
  bool PCDirectMode() const override;
  std::string FileName() const override;
  void DisableAllComponent() override;
  void EnableAllComponent() override;

 private:
  // IFormControls: the shared rules reach the controls through these.
  std::string FileNameText() const override;
  void SetFileNameText(const std::string& Text) override;
  void SetControlEnabled(TControlId Id, bool Enabled) override;
  bool ControlChecked(TControlId Id) const override;
  bool ControlVisible(TControlId Id) const override;
  void SetControlVisible(TControlId Id, bool Visible) override;
  bool RunOpenDialog(std::string& Chosen) override;
  // The port tooltip goes when the box shows another text than its own.
  void ForgetPortDeviceUnless(const std::string& Shown);
  std::string PortListText() const;  // the entry picked in the port list

  // Messages (TfUpdate.cpp).
  static LRESULT CALLBACK WindowProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam);
  LRESULT HandleMessage(UINT Message, WPARAM WParam, LPARAM LParam);
  void OnCommand(int Id, int Code);
  LRESULT OnControlColor(HDC Dc, HWND Control);
  void OnDoubleClick(POINT Where);
  void OnActivate(bool Active);
  void OnDpiChanged(UINT Dpi, const RECT& Suggested);
  void ShowUncaughtError(const std::string& Text);

  // Controls, places, fonts (TfUpdateLayout.cpp).
  bool RegisterWindowClass() const;
  void CreateControls();
  void CreatePortToolTip();
  void LayOut();
  void FitLabelsToText();
  void FitPortBoxHeight();
  void SizeAndCentre();
  HWND Control(TControlId Id) const;
  HWND FirstTabControl() const;
  int ScaledTo(int Pixels) const;
  // Paints a control now: an operation runs inside a click, so the paint
  // message would wait for its end.
  static void RepaintNow(HWND Control);

  HWND FHandle = nullptr;
  HWND FControls[cControlCount] = {};
  HWND FToolTip = nullptr;
  HWND FFocus = nullptr;  // the control that had the focus when the window was left
  UINT FDpi = 96;
  TWindowFonts FFonts;
  TGdiObject FSuccessBrush;
  TGdiObject FFailureBrush;
  TPromptColor FPromptColor = TPromptColor::Normal;
  // The port text that the port box's tooltip speaks of; another text in the
  // box takes the tooltip away.
  std::string FPortDeviceFor;

  TFormRules Rules{*this};
  TOperationRunner Runner;
};
