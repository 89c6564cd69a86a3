#pragma once

#include <QApplication>
#include <QEvent>
#include <QFileDialog>
#include <QStringList>
#include <QTimer>

// Answers every file dialog shown while it lives, as a user would: picks
// the file it was given and accepts, or cancels when given none. It records
// what each dialog suggested.
class FileDialogAnswerer : public QObject
{
public:
    explicit FileDialogAnswerer(QString answer = QString()) : m_answer(std::move(answer))
    {
        qApp->installEventFilter(this);
    }
    ~FileDialogAnswerer() override { qApp->removeEventFilter(this); }

    void setAnswer(const QString &answer) { m_answer = answer; }

    // The file each dialog offered before it was answered.
    const QStringList &suggested() const { return m_suggested; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *dialog = qobject_cast<QFileDialog *>(watched);
        if (dialog && event->type() == QEvent::Show) {
            m_suggested << dialog->selectedFiles().value(0);
            QTimer::singleShot(0, dialog, [this, dialog] {
                if (m_answer.isEmpty()) {
                    dialog->reject();
                    return;
                }
                dialog->selectFile(m_answer);
                // As its Save button does; QFileDialog's own accept() is protected.
                static_cast<QDialog *>(dialog)->accept();
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QString m_answer;
    QStringList m_suggested;
};
