#pragma once

#include <QMessageBox>
#include <QWidget>

class AnalysisWindow;
class QAction;
class Conversation;
class MeasurementActions;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

// The program's one window: a face over the conversation with the box. It
// turns clicks into the conversation's Start and Close, shows each
// evaluation of the receive buffer in its fields, and tells the user of
// failures in German message boxes. The measurement on display can be
// copied or saved from the context menu of the window and its value fields,
// and analysed for the person measured in a window of its own.
class Form1 : public QWidget
{
    Q_OBJECT

public:
    explicit Form1(QWidget *parent = nullptr);

protected:
    // Closing the window always goes ahead, and never leaves the port open.
    void closeEvent(QCloseEvent *event) override;
    // The port field's tooltip lists the ports present when it shows; the
    // value fields' context menus add the measurement's actions.
    bool eventFilter(QObject *watched, QEvent *event) override;
    // The window's own context menu, which the panel and the buttons pass on.
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    friend struct Form1Access; // tests drive the private routines through it

    // Shows what the receive buffer gives after each of its changes.
    void Text2_Change();
    void ClearTextBox();

    void Command1_Click();
    void onDataLost();
    void Close();

    // Clear: an empty display and a closed port.
    void cmdClear_Click();

    // One modal box, OK only, for every message the program shows.
    void MsgBox(const QString &text, QMessageBox::Icon icon);

    // Top to bottom.
    QList<QLineEdit *> valueFields() const { return {txtR, txtXc, txtPhase, txtrh, txtRF}; }
    void showPortTooltip(const QPoint &globalPos);
    // "Analysis…" and "Save report as PDF…", in the context menus after the
    // measurement's own entries.
    QList<QAction *> analysisActions() const;
    // Shift+F10 does what the context-menu key does, on every platform.
    void showContextMenuFromKeyboard();

    // "Datenverlust!" says all it can the first time; a device that keeps
    // losing characters must not bury Clear and the window under boxes.
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
    Conversation *m_conversation;
    QLineEdit *Text1;
    QPushButton *Command2;
    QPushButton *Command3;
    QLineEdit *txtR;
    QLineEdit *txtXc;
    QLineEdit *txtrh;
    QLineEdit *txtRF;
    MeasurementActions *m_measurementActions;
    AnalysisWindow *m_analysisWindow;
};
