#include "ui/form1.h"

#include "common/failure.h"
#include "common/numbertext.h"
#include "decoder/mdlDecodeEncode.h"
#include "serial/commcontrol.h"

#include <QLineEdit>
#include <QScopedValueRollback>

void Form1::Command1_Click()
{
    try {
        if (Text1->text().isEmpty()) {
            MsgBox(QStringLiteral("Bitte geben Sie einen Com-Port ein!"), QMessageBox::Critical);
            Text1->setFocus();
            return;
        }
        setText2Empty();
        MSComm1->setSThreshold(1);
        MSComm1->setRThreshold(1);
        MSComm1->setCommPort(numbertext::toInt16(Text1->text()));
        MSComm1->setSettings(QStringLiteral("9600,N,8,1"));
        MSComm1->setPortOpen(true);
        MSComm1->setOutput(u'B' + mdlDecodeEncode::decodingKey());
    } catch (const Failure &failure) {
        switch (failure.number()) {
        case 8002:
            MsgBox(QStringLiteral("Der angegebene Com-Port konnte nicht geöffnet werden!"),
                   QMessageBox::Critical);
            break;
        case 8005:
            // Start pressed on an open port: it ends the conversation instead.
            if (MSComm1->portOpen())
                MSComm1->setPortOpen(false);
            break;
        default:
            MsgBox(QStringLiteral("Fehler") + QString::number(failure.number()) +
                       QStringLiteral(" (") + failure.description() + QStringLiteral(") "),
                   QMessageBox::NoIcon);
            break;
        }
    }
}

void Form1::MSComm1_OnComm()
{
    const qint16 event = MSComm1->commEvent();
    if (event == CommControl::comEventOverrun || event == CommControl::comEventRxOver) {
        if (m_dataLossShown)
            return;
        const QScopedValueRollback<bool> shown(m_dataLossShown, true);
        MsgBox(QStringLiteral("Datenverlust!"), QMessageBox::NoIcon);
    } else if (event == CommControl::comEvReceive) {
        appendText2(MSComm1->input());
    }
}

void Form1::Close()
{
    if (MSComm1->portOpen())
        MSComm1->setPortOpen(false);
}
