// The rules that enable, disable, show and hide controls.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "WindowFixture.h"

TEST_F(WindowTest, UpdateIsEnabledExactlyWhenTheNameBoxHoldsText) {
  const struct {
    const char* Text;
    bool Enabled;
  } cCases[] = {{"a.QRV", true}, {"", false}, {" ", true}, {"", false}, {"x", true}};
  for (const auto& C : cCases) {
    W.ePGMFileName->setText(C.Text);
    EXPECT_EQ(W.btPGMLoad->isEnabled(), C.Enabled) << '"' << C.Text << '"';
  }
  W.ePGMFileName->clear();
  QTest::keyClicks(W.ePGMFileName, " ");  // typed by the user
  EXPECT_TRUE(W.btPGMLoad->isEnabled());
  QTest::keyClick(W.ePGMFileName, Qt::Key_Backspace);
  EXPECT_FALSE(W.btPGMLoad->isEnabled());
}

TEST_F(WindowTest, PortListIsEnabledExactlyWhenAutoDetectIsOff) {
  W.FormDblClick();  // reveal the high-speed box so that it can be clicked
  for (bool Auto : {false, true}) {
    W.cbAutoSelectCOMPort->setChecked(Auto);  // by the program: the handler runs too
    EXPECT_EQ(W.cbPort->isEnabled(), !Auto);
    for (QCheckBox* Other : {W.cbPCDirectMode, W.cbHighSpeed, W.cbPCDirectMode, W.cbHighSpeed}) {
      Other->click();
      EXPECT_EQ(W.cbPort->isEnabled(), !Auto) << Other->objectName().toStdString();
    }
  }
  // After a controller was found the search clears automatic detection, then
  // disables the list; the next change of any box enables it again.
  W.SetAutoSelectCOMPort(false);
  W.SetPortEnabled(false);
  EXPECT_FALSE(W.AutoSelectCOMPort());
  W.cbPCDirectMode->click();
  EXPECT_TRUE(W.cbPort->isEnabled());
}

TEST_F(WindowTest, DoubleClickOnAnEmptySpotTogglesTheHighSpeedBox) {
  W.show();
  const QPoint cEmpty(10, 200);
  const QPoint cWhereHighSpeedSits(170, 290);
  QTest::mouseDClick(&W, Qt::LeftButton, {}, cWhereHighSpeedSits);
  EXPECT_TRUE(W.HighSpeedVisible());
  QTest::mouseDClick(&W, Qt::LeftButton, {}, cEmpty);
  EXPECT_FALSE(W.HighSpeedVisible());
  QTest::mouseDClick(&W, Qt::RightButton, {}, cEmpty);
  EXPECT_FALSE(W.HighSpeedVisible());
  // On a control, enabled or not, a label included: nothing happens.
  for (QWidget* Control :
       std::initializer_list<QWidget*>{W.Label1, W.lbPrompt, W.btPGMLoad, W.cbPort, W.btVersion}) {
    QTest::mouseDClick(Control, Qt::LeftButton, {}, QPoint(3, 3));
    EXPECT_FALSE(W.HighSpeedVisible()) << Control->objectName().toStdString();
  }
  EXPECT_TRUE(W.HighSpeedChecked());
  EXPECT_FALSE(W.cbPort->isEnabled());
}

TEST_F(WindowTest, DisableAndEnableAllComponent) {
  QWidget* const cFour[] = {W.btPGMLoad, W.btVersion, W.btSelectPGMFile, W.ePGMFileName};
  for (const char* Name : {"", "fw.QRV"}) {
    SCOPED_TRACE(Name);
    W.ePGMFileName->setText(Name);
    W.cbAutoSelectCOMPort->setChecked(false);
    W.DisableAllComponent();
    for (QWidget* Control : cFour) EXPECT_FALSE(Control->isEnabled());
    // The check boxes and the port list stay usable during an operation.
    for (QWidget* Control : std::initializer_list<QWidget*>{W.cbAutoSelectCOMPort, W.cbPort,
                                                            W.cbPCDirectMode, W.cbHighSpeed})
      EXPECT_TRUE(Control->isEnabled());
    W.EnableAllComponent();
    EXPECT_EQ(W.btPGMLoad->isEnabled(), *Name != '\0');
    for (QWidget* Control :
         std::initializer_list<QWidget*>{W.btVersion, W.btSelectPGMFile, W.ePGMFileName})
      EXPECT_TRUE(Control->isEnabled());
  }
}
