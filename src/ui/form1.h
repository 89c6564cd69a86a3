#pragma once

#include "evaluation/receivebuffer.h"

#include <QMessageBox>
#include <QWidget>

class CommControl;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

// The program's one window. Its fields are the program's only state; the
// routines behind its events live with their subsystems (evaluation/,
// serial/) and are members here so that they can reach the fields.
class Form1 : public QWidget
{
    Q_OBJECT

public:
    explicit Form1(QWidget *parent = nullptr);

protected:
    // Closing the window always goes ahead, and never leaves the port open.
    void closeEvent(QCloseEvent *event) override;

private:
    friend struct Form1Access; // tests drive the private routines through it

    // Receive buffer: every change goes through these two, and each runs
    // Text2_Change exactly once.
    void setText2Empty();
    void appendText2(QStringView chunk);

    // Evaluation (evaluation/form1_evaluation.cpp).
    void Text2_Change();
    void fillVariables(const QString &myString);
    double getPhasenwinkel() const;
    void ClearTextBox();

    // Serial connection (serial/form1_serial.cpp).
    void Command1_Click();
    void MSComm1_OnComm();
    void Close();

    // Clear: an empty display and a closed port.
    void cmdClear_Click();

    // One modal box, OK only, for every message the program shows.
    void MsgBox(const QString &text, QMessageBox::Icon icon);

    ReceiveBuffer Text2;
    // Set while "Datenverlust!" is on screen, so that further losses reported
    // from inside its event loop do not stack more boxes on it.
    bool m_dataLossShown = false;

    // Created topmost last: where controls overlap, the later sibling lies on top.
    QLabel *Image1;
    QLabel *lblTitel;
    QFrame *Frame1;
    QLabel *Label5;
    QLabel *Label7;
    QLabel *Label8;
    QLabel *Label9;
    QLabel *Label10;
    QLabel *lblPhase;
    QPushButton *cmdClear;
    QLineEdit *txtPhase;
    QPushButton *Command1;
    CommControl *MSComm1;
    QLineEdit *Text1;
    QPushButton *Command2;
    QPushButton *Command3;
    QLineEdit *txtR;
    QLineEdit *txtXc;
    QLineEdit *txtrh;
    QLineEdit *txtRF;
};
