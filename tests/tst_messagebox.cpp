#include "form1access.h"
#include "messageboxanswerer.h"

#include <QTest>

// The window's one way of telling the user something: a modal box with OK
// only, the program's title as caption, the icon the caller asks for.
class TestMessageBox : public QObject
{
    Q_OBJECT

private slots:
    void showsTextIconAndOkOnly_data();
    void showsTextIconAndOkOnly();
};

void TestMessageBox::showsTextIconAndOkOnly_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QMessageBox::Icon>("icon");
    QTest::newRow("critical") << QStringLiteral("Bitte geben Sie einen Com-Port ein!")
                              << QMessageBox::Critical;
    QTest::newRow("no icon") << QStringLiteral("Datenverlust!") << QMessageBox::NoIcon;
}

void TestMessageBox::showsTextIconAndOkOnly()
{
    QFETCH(QString, text);
    QFETCH(QMessageBox::Icon, icon);
    Form1 form;
    const MessageBoxAnswerer answerer;
    Form1Access::msgBox(form, text, icon);
    QCOMPARE(answerer.shown().size(), 1);
    const MessageBoxAnswerer::Shown &shown = answerer.shown().first();
    QCOMPARE(shown.text, text);
    QCOMPARE(shown.icon, icon);
    QCOMPARE(shown.title, QStringLiteral("Velumet Display"));
    QCOMPARE(shown.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
}

QTEST_MAIN(TestMessageBox)
#include "tst_messagebox.moc"
