// The main window: its controls, the small handlers that do not talk to the
// controller, and the loader's view of the window.
#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <string>

#include "ComPort.h"
#include "FormRules.h"
#include "Loader.h"
#include "LoaderView.h"
#include "OpenDialog.h"
#include "PortMap.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

class TfUpdate : public QWidget, public ILoaderView, private IFormControls {
  Q_OBJECT
 public:
  // Production: the program's Comm1 and the platform's port numbering.
  explicit TfUpdate(QWidget* Parent = nullptr);
  // Tests give their own port (e.g. on a pty) and port numbering.
  TfUpdate(TCOMPort& Port, TPortMapSource PortMaps, QWidget* Parent = nullptr);
  ~TfUpdate() override;

  // The controls, in declaration order; Qt owns them as children.
  QLabel* lbPrompt = nullptr;
  TOpenDialog PGMOpenDialog;
  QLabel* Label1 = nullptr;
  QLineEdit* ePGMFileName = nullptr;
  QPushButton* btSelectPGMFile = nullptr;
  QPushButton* btPGMLoad = nullptr;
  QLabel* Label2 = nullptr;
  QPushButton* btVersion = nullptr;
  QCheckBox* cbAutoSelectCOMPort = nullptr;
  QComboBox* cbPort = nullptr;
  QLabel* lbCOMPort = nullptr;
  QLabel* Label4 = nullptr;
  QCheckBox* cbHighSpeed = nullptr;
  QCheckBox* cbPCDirectMode = nullptr;

  TLoader Loader;

  // What the two lower buttons run. They call the loader; tests may put their
  // own operation here to drive the window without a controller.
  std::function<void()> VersionOperation;
  std::function<void()> UpdateOperation;

  bool OperationRunning() const { return Runner.Running(); }

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
  // IFormControls: the shared rules reach the widgets through these.
  std::string FileNameText() const override;
  void SetFileNameText(const std::string& Text) override;
  void SetControlEnabled(TControlId Id, bool Enabled) override;
  bool ControlChecked(TControlId Id) const override;
  bool ControlVisible(TControlId Id) const override;
  void SetControlVisible(TControlId Id, bool Visible) override;
  bool RunOpenDialog(std::string& Chosen) override;
  QWidget* Control(TControlId Id) const;

 protected:
  void closeEvent(QCloseEvent* Event) override;
  void mouseDoubleClickEvent(QMouseEvent* Event) override;

 private:
  void CreateControls();
  void PlaceControls();
  void SetFonts();
  void FitLabelsToText();
  void SetTabOrder();
  void ConnectHandlers();
  void CentreOnScreen();
  void ShowUncaughtError(const std::string& Text);

  TFormRules Rules{*this};
  TOperationRunner Runner;
  // The port text that the port box's tooltip speaks of; another text in the
  // box takes the tooltip away.
  QString FPortDeviceFor;
};
