#pragma once

#include <QApplication>
#include <QEvent>
#include <QList>
#include <QMessageBox>
#include <QMetaObject>
#include <QPushButton>

// Answers every modal message box shown while it lives, the way a user
// would: it records what the box showed, then presses its default button
// once the box's own event loop runs.
class MessageBoxAnswerer : public QObject
{
public:
    struct Shown
    {
        QString title;
        QString text;
        QMessageBox::Icon icon;
        QMessageBox::StandardButtons buttons;
    };

    MessageBoxAnswerer() { qApp->installEventFilter(this); }
    ~MessageBoxAnswerer() override { qApp->removeEventFilter(this); }

    const QList<Shown> &shown() const { return m_shown; }

    // The texts of all boxes shown so far, in order.
    QStringList texts() const
    {
        QStringList out;
        for (const Shown &box : m_shown)
            out << box.text;
        return out;
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *box = qobject_cast<QMessageBox *>(watched);
        if (box && event->type() == QEvent::Show) {
            m_shown.append({box->windowTitle(), box->text(), box->icon(), box->standardButtons()});
            QMetaObject::invokeMethod(
                box,
                [box] { box->defaultButton() ? box->defaultButton()->click() : box->accept(); },
                Qt::QueuedConnection);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QList<Shown> m_shown;
};
