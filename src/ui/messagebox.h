#pragma once

#include <QMessageBox>
#include <QString>

class QWidget;

// The window's message boxes: modal, German, the program's name as caption.
namespace messagebox {

// Tells the user something; OK is the only answer.
void tell(QWidget *parent, const QString &text, QMessageBox::Icon icon);

// Asks before doing something the user may regret. No is the default, so
// that a hasty Enter leaves things as they are.
bool confirm(QWidget *parent, const QString &question);

} // namespace messagebox
