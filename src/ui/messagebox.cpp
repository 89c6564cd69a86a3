#include "ui/messagebox.h"

#include <QPushButton>

namespace messagebox {

namespace {

QString caption()
{
    return QStringLiteral("Velumet Display");
}

} // namespace

void tell(QWidget *parent, const QString &text, QMessageBox::Icon icon)
{
    QMessageBox box(icon, caption(), text, QMessageBox::Ok, parent);
    box.exec();
}

bool confirm(QWidget *parent, const QString &question)
{
    QMessageBox box(QMessageBox::Question, caption(), question, QMessageBox::Yes | QMessageBox::No,
                    parent);
    // The question is German; its answers must not be English beside it.
    box.button(QMessageBox::Yes)->setText(QStringLiteral("Ja"));
    box.button(QMessageBox::No)->setText(QStringLiteral("Nein"));
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

} // namespace messagebox
