#include "ui/messagebox.h"

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
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

} // namespace messagebox
