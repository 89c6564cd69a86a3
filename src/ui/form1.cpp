#include "ui/form1.h"

#include "serial/commcontrol.h"
#include "ui/controlplacement.h"

#include <QFrame>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPixmap>
#include <QPushButton>

namespace {

template <typename T> T *named(T *widget, const char *name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

} // namespace

Form1::Form1(QWidget *parent)
    : QWidget(parent), Image1(named(new QLabel(this), "Image1")),
      lblTitel(named(new QLabel(QStringLiteral("Velumet Display"), this), "lblTitel")),
      Frame1(named(new QFrame(this), "Frame1")),
      Label5(named(new QLabel(QStringLiteral("Com-Port"), Frame1), "Label5")),
      Label7(named(new QLabel(QStringLiteral("Resistance"), Frame1), "Label7")),
      Label8(named(new QLabel(QStringLiteral("Reactance"), Frame1), "Label8")),
      Label9(named(new QLabel(QStringLiteral("R-Hand"), Frame1), "Label9")),
      Label10(named(new QLabel(QStringLiteral("R-Foot"), Frame1), "Label10")),
      lblPhase(named(new QLabel(QStringLiteral("Phase angle"), Frame1), "lblPhase")),
      cmdClear(named(new QPushButton(QStringLiteral("Clear"), Frame1), "cmdClear")),
      txtPhase(named(new QLineEdit(Frame1), "txtPhase")),
      Command1(named(new QPushButton(QStringLiteral("Start"), this), "Command1")),
      MSComm1(named(new CommControl(this), "MSComm1")), Text1(named(new QLineEdit(this), "Text1")),
      Command2(named(new QPushButton(QStringLiteral("Command2"), this), "Command2")),
      Command3(named(new QPushButton(QStringLiteral("Command3"), this), "Command3")),
      txtR(named(new QLineEdit(this), "txtR")), txtXc(named(new QLineEdit(this), "txtXc")),
      txtrh(named(new QLineEdit(this), "txtrh")), txtRF(named(new QLineEdit(this), "txtRF"))
{
    using controlplacement::Font;
    using controlplacement::noTabIndex;
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Velumet Display"));
    // Message boxes parented to the window show its icon too.
    setWindowIcon(QIcon(QStringLiteral(":/velumet/icon.png")));
    setFont(controlplacement::defaultFont());
    // Left, top, width, height in twips; the Frame1 rows are relative to Frame1.
    controlplacement::apply({
        {txtRF, 5820, 5520, 2655, 360, Font::Bold12, 8},
        {txtrh, 5820, 4740, 2655, 420, Font::Bold12, 7},
        {txtXc, 5820, 3120, 2655, 360, Font::Bold12, 6},
        {txtR, 5820, 2040, 2655, 360, Font::Bold12, 5},
        {Command3, 8580, 1320, 375, 375, Font::Default, 4},
        {Command2, 480, 2760, 975, 255, Font::Default, 3},
        {Text1, 5820, 1080, 2595, 360, Font::Bold12, 1},
        {Command1, 420, 1440, 2055, 435, Font::Default, 0},
        {Frame1, 120, 900, 10335, 6075, Font::Default, 13},
        {txtPhase, 5700, 2940, 2655, 420, Font::Bold12, 21},
        {cmdClear, 240, 5400, 1995, 375, Font::Default, 14},
        {lblPhase, 2880, 3060, 1875, 315, Font::Bold12, 22},
        {Label10, 2880, 4620, 855, 255, Font::Bold12, 20},
        {Label9, 2880, 3840, 1035, 255, Font::Bold12, 19},
        {Label8, 2880, 2220, 1275, 255, Font::Bold12, 18},
        {Label7, 2880, 1200, 1635, 255, Font::Bold12, 17},
        {Label5, 2940, 240, 1575, 255, Font::Bold12, 15},
        {lblTitel, 300, 240, 3855, 495, Font::Bold18, 23},
        {Image1, 7800, 300, 2760, 495, Font::Default, noTabIndex},
    });
    setFixedSize(10770 / controlplacement::twipsPerPixel, 7140 / controlplacement::twipsPerPixel);

    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setAutoFillBackground(true);
    // The panel keeps the desktop's own window colour, so that the white
    // labels on it stand out the way the layout intends.
    QPalette panel = palette();
    panel.setColor(QPalette::Window, QGuiApplication::palette().color(QPalette::Window));
    Frame1->setPalette(panel);
    Frame1->setAutoFillBackground(true);
    Frame1->setFrameStyle(QFrame::StyledPanel | QFrame::Plain);
    for (QLabel *label : {lblTitel, Label5, Label7, Label8, Label9, Label10, lblPhase}) {
        label->setPalette(white);
        label->setAutoFillBackground(true);
    }

    // Through QIcon, which takes banner@2x.png as well, so that a HiDPI screen
    // gets the banner rendered for its pixels rather than an enlarged one.
    Image1->setPixmap(
        QIcon(QStringLiteral(":/velumet/banner.png")).pixmap(QSize(320, 58), devicePixelRatioF()));
    Image1->setScaledContents(true);

    // Screen readers announce each field by the caption beside it.
    Text1->setAccessibleName(Label5->text());
    txtR->setAccessibleName(Label7->text());
    txtXc->setAccessibleName(Label8->text());
    txtPhase->setAccessibleName(lblPhase->text());
    txtrh->setAccessibleName(Label9->text());
    txtRF->setAccessibleName(Label10->text());

    // Two buttons of the layout that are not for the user: hidden, they can
    // neither be clicked nor reached with the keyboard.
    Command2->hide();
    Command3->hide();

    Command1->setFocus();

    connect(MSComm1, &CommControl::OnComm, this, &Form1::MSComm1_OnComm);
    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(cmdClear, &QPushButton::clicked, this, &Form1::cmdClear_Click);
    connect(Command2, &QPushButton::clicked, this, &Form1::Close);
}

void Form1::closeEvent(QCloseEvent *event)
{
    Close();
    QWidget::closeEvent(event);
}

void Form1::cmdClear_Click()
{
    ClearTextBox();
    Close();
}

void Form1::setText2Empty()
{
    Text2.clear();
    Text2_Change();
}

void Form1::appendText2(QStringView chunk)
{
    Text2.append(chunk);
    Text2_Change();
}

void Form1::MsgBox(const QString &text, QMessageBox::Icon icon)
{
    QMessageBox box(icon, QStringLiteral("Velumet Display"), text, QMessageBox::Ok, this);
    box.exec();
}
