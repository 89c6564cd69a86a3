#pragma once

#include <QApplication>
#include <QEvent>
#include <QList>
#include <QMessageBox>
#include <QMetaObject>
#include <QPushButton>
#include <QTimer>

#include <functional>

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
        // As the user reads them, in the box's order.
        QStringList buttonTexts;
    };

    // answerDelayMs keeps each box open that long, as a slow user would;
    // beforeAnswer runs just before OK is pressed.
    explicit MessageBoxAnswerer(int answerDelayMs = 0, std::function<void()> beforeAnswer = {})
        : m_answerDelayMs(answerDelayMs), m_beforeAnswer(std::move(beforeAnswer))
    {
        qApp->installEventFilter(this);
    }
    ~MessageBoxAnswerer() override { qApp->removeEventFilter(this); }

    const QList<Shown> &shown() const { return m_shown; }

    // The most boxes that were on screen at the same time.
    int mostOpenAtOnce() const { return m_mostOpen; }

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
            QStringList buttonTexts;
            for (const QAbstractButton *button : box->buttons())
                buttonTexts << button->text();
            m_shown.append({box->windowTitle(), box->text(), box->icon(), box->standardButtons(),
                            buttonTexts});
            m_mostOpen = qMax(m_mostOpen, ++m_open);
            QTimer::singleShot(m_answerDelayMs, box, [this, box] {
                if (m_beforeAnswer)
                    m_beforeAnswer();
                box->defaultButton() ? box->defaultButton()->click() : box->accept();
            });
        } else if (box && event->type() == QEvent::Hide) {
            --m_open;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    int m_answerDelayMs;
    std::function<void()> m_beforeAnswer;
    QList<Shown> m_shown;
    int m_open = 0;
    int m_mostOpen = 0;
};
