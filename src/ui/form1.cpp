#include "ui/form1.h"

#include "serial/commcontrol.h"

#include <QCoreApplication>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
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
    setWindowTitle(QStringLiteral("Velumet Display"));
    connect(MSComm1, &CommControl::OnComm, this, &Form1::MSComm1_OnComm);
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
