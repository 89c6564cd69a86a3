#include "form1access.h"
#include "messageboxanswerer.h"

#include <QFontInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>

// The window as a Windows user meets it: Windows' own platform plugin (under
// Wine, on its X11 driver and Xvfb), Windows' fonts, and a COM port that
// leads to the simulated box (withbox.sh puts it at VELUMET_TEST_PORT).
// Each step goes through the widgets a user sees, found by the names a
// screen reader announces; the window after a measurement and the message
// box are written next to the test as screenshots for a person to look at.
namespace {

QString testPort()
{
    return qEnvironmentVariable("VELUMET_TEST_PORT");
}

template <typename T> T *byAccessibleName(Form1 &form, const QString &name)
{
    for (T *widget : form.findChildren<T *>()) {
        if (widget->accessibleName() == name)
            return widget;
    }
    return nullptr;
}

QPushButton *button(Form1 &form, const QString &text)
{
    for (QPushButton *candidate : form.findChildren<QPushButton *>()) {
        if (candidate->text() == text && candidate->isVisible())
            return candidate;
    }
    return nullptr;
}

QStringList fieldTexts(Form1 &form)
{
    QStringList texts;
    for (const char *name : {"Resistance", "Reactance", "R-Hand", "R-Foot", "Phase angle"}) {
        const QLineEdit *field = byAccessibleName<QLineEdit>(form, QLatin1String(name));
        texts << (field ? field->text() : QStringLiteral("(no field)"));
    }
    return texts;
}

// The screen as it is, not as Qt would paint the widget.
void screenshot(const QString &name)
{
    QGuiApplication::primaryScreen()->grabWindow(0).save(name + QStringLiteral(".png"));
}

} // namespace

class TestWineWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void measuresThroughTheComPortAndClears();
    void aMissingPortIsSaidInGerman();
    void fieldsAreInArial();
};

void TestWineWindow::initTestCase()
{
    QVERIFY2(!testPort().isEmpty(), "run by withbox.sh, which sets VELUMET_TEST_PORT");
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("windows"));
}

void TestWineWindow::measuresThroughTheComPortAndClears()
{
    Form1 form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QLineEdit *port = byAccessibleName<QLineEdit>(form, QStringLiteral("Com-Port"));
    QPushButton *start = button(form, QStringLiteral("Start"));
    QPushButton *clear = button(form, QStringLiteral("Clear"));
    QVERIFY(port && start && clear);

    QTest::keyClicks(port, testPort());
    QTest::mouseClick(start, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(
        fieldTexts(form),
        (QStringList{QStringLiteral("523"), QStringLiteral("60"), QStringLiteral("432.1"),
                     QStringLiteral("-1.2"), QStringLiteral("6.5")}),
        10000);
    QVERIFY(Form1Access::comm(form).portOpen());
    screenshot(QStringLiteral("tst_winewindow-measured"));

    QTest::mouseClick(clear, Qt::LeftButton);
    QCOMPARE(fieldTexts(form), QStringList(5, QString()));
    QVERIFY(!Form1Access::comm(form).portOpen());
}

// Written as escapes, so that the check does not depend on how the compiler
// reads this file: the window's text must come out as the same characters.
void TestWineWindow::aMissingPortIsSaidInGerman()
{
    Form1 form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const MessageBoxAnswerer answerer(500,
                                      [] { screenshot(QStringLiteral("tst_winewindow-message")); });
    // No COM port of that number exists in the tests' Wine prefix.
    QTest::keyClicks(byAccessibleName<QLineEdit>(form, QStringLiteral("Com-Port")),
                     QStringLiteral("250"));
    QTest::mouseClick(button(form, QStringLiteral("Start")), Qt::LeftButton);
    QCOMPARE(answerer.texts(), QStringList{QString::fromUtf16(
                                   u"Der angegebene Com-Port konnte nicht ge\u00f6ffnet werden!")});
}

// The captions are laid out for Arial's widths, and every Windows has Arial.
void TestWineWindow::fieldsAreInArial()
{
    Form1 form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    for (const char *name : {"Com-Port", "Resistance", "Phase angle"}) {
        const QLineEdit *field = byAccessibleName<QLineEdit>(form, QLatin1String(name));
        QVERIFY(field);
        QCOMPARE(QFontInfo(field->font()).family(), QStringLiteral("Arial"));
    }
}

QTEST_MAIN(TestWineWindow)
#include "tst_winewindow.moc"
