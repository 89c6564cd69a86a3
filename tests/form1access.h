#pragma once

#include "serial/commcontrol.h"
#include "serial/conversation.h"
#include "ui/form1.h"

#include <QLineEdit>
#include <QPushButton>
#include <QStringList>

// The tests' way into Form1's private routines; the window offers nothing
// public but itself.
struct Form1Access
{
    static Conversation &conversation(Form1 &form) { return *form.m_conversation; }
    static void receive(Form1 &form, QStringView chunk) { form.m_conversation->receive(chunk); }
    static void emptyBuffer(Form1 &form) { form.m_conversation->emptyBuffer(); }
    static const ReceiveBuffer &buffer(const Form1 &form) { return form.m_conversation->buffer(); }
    static void clearTextBox(Form1 &form) { form.ClearTextBox(); }

    // Types text into the port field and presses Start.
    static void start(Form1 &form, const QString &portField)
    {
        form.Text1->setText(portField);
        form.Command1_Click();
    }
    static void close(Form1 &form) { form.Close(); }
    // Presses Clear.
    static void clear(Form1 &form) { form.cmdClear->click(); }
    static CommControl &comm(Form1 &form) { return form.m_conversation->comm(); }
    static QLineEdit *portField(Form1 &form) { return form.Text1; }
    static void msgBox(Form1 &form, const QString &text, QMessageBox::Icon icon)
    {
        form.MsgBox(text, icon);
    }

    // The five display fields in the order they are written.
    static QStringList display(const Form1 &form)
    {
        return {form.txtR->text(), form.txtXc->text(), form.txtrh->text(), form.txtRF->text(),
                form.txtPhase->text()};
    }
};
