#include "filedialoganswerer.h"
#include "form1access.h"
#include "messageboxanswerer.h"
#include "ui/analysisreport.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QFontInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include <windows.h>

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

template <typename T> T *byAccessibleName(QWidget &window, const QString &name)
{
    for (T *widget : window.findChildren<T *>()) {
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

// Where Qt keeps its settings on Windows, and where the file dialog keeps
// its state among them.
const wchar_t qtSettingsKey[] = L"Software\\QtProject";
const wchar_t fileDialogKey[] = L"Software\\QtProject\\OrganizationDefaults\\FileDialog";

bool keyExists(const wchar_t *name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, name, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// The file dialog's values, as name=value for the strings among them.
QStringList fileDialogValues()
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, fileDialogKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return {};
    QStringList values;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        wchar_t data[1024];
        DWORD nameLength = 256;
        DWORD size = sizeof data;
        DWORD type = REG_NONE;
        const LSTATUS status = RegEnumValueW(key, i, name, &nameLength, nullptr, &type,
                                             reinterpret_cast<BYTE *>(data), &size);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        values << QString::fromWCharArray(name, int(nameLength)) + u'=' +
                      (type == REG_SZ ? QString::fromWCharArray(data) : QStringLiteral("(data)"));
    }
    RegCloseKey(key);
    values.sort();
    return values;
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
    void savingLeavesTheRegistryAsItWas_data();
    void savingLeavesTheRegistryAsItWas();
    void analysisFollowsTheMeasurement();
    void reportIsOnePdf();
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

void TestWineWindow::savingLeavesTheRegistryAsItWas_data()
{
    // The file dialog's state that another Qt program left; none: no Qt
    // settings at all.
    QTest::addColumn<QString>("lastVisited");
    QTest::newRow("no Qt settings before") << QString();
    QTest::newRow("another Qt program's dialog state before")
        << QStringLiteral("file:///C:/windows");
}

// The window keeps no settings, and Qt's file dialog, which keeps its state
// in the registry, must leave it as it was: the prefix's user.reg is saved
// from it.
void TestWineWindow::savingLeavesTheRegistryAsItWas()
{
    QFETCH(QString, lastVisited);
    RegDeleteTreeW(HKEY_CURRENT_USER, qtSettingsKey);
    if (!lastVisited.isEmpty()) {
        const std::wstring value = lastVisited.toStdWString();
        QCOMPARE(RegSetKeyValueW(HKEY_CURRENT_USER, fileDialogKey, L"lastVisited", REG_SZ,
                                 value.c_str(), DWORD((value.size() + 1) * sizeof(wchar_t))),
                 LSTATUS(ERROR_SUCCESS));
    }
    const QStringList before = fileDialogValues();
    // Qt's own dialog, which the answerer can drive; Windows' keeps Qt's
    // settings in the same way.
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    Form1 form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTest::keyClicks(byAccessibleName<QLineEdit>(form, QStringLiteral("Com-Port")), testPort());
    QTest::mouseClick(button(form, QStringLiteral("Start")), Qt::LeftButton);
    QAction *save = form.findChild<QAction *>(QStringLiteral("actSaveMeasurement"));
    QVERIFY(save);
    QTRY_VERIFY_WITH_TIMEOUT(save->isEnabled(), 10000);

    const QTemporaryDir dir;
    const QString journal = dir.filePath(QStringLiteral("journal.csv"));
    const FileDialogAnswerer answerer(journal);
    save->trigger();
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs, false);
    QCOMPARE(answerer.suggested().size(), 1);
    QVERIFY(QFile::exists(journal));
    QCOMPARE(keyExists(qtSettingsKey), !lastVisited.isEmpty());
    QCOMPARE(fileDialogValues(), before);
}

// Ctrl+B, the subject typed, a measurement through the COM port: the
// analysis window shows it, and is left as a screenshot.
void TestWineWindow::analysisFollowsTheMeasurement()
{
    Form1 form;
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    QTest::keyClick(&form, Qt::Key_B, Qt::ControlModifier);
    QWidget *analysis = form.findChild<QWidget *>(QStringLiteral("AnalysisWindow"));
    QVERIFY(analysis);
    QVERIFY(QTest::qWaitForWindowExposed(analysis));
    auto *sex = byAccessibleName<QComboBox>(*analysis, QStringLiteral("Sex"));
    QVERIFY(sex);
    sex->setFocus();
    QTest::keyClick(sex, Qt::Key_End);
    QCOMPARE(sex->currentText(), QStringLiteral("Male"));
    for (const auto &[name, text] :
         {std::pair{"Age", "40"}, std::pair{"Height", "175"}, std::pair{"Weight", "70"}})
        QTest::keyClicks(byAccessibleName<QLineEdit>(*analysis, QLatin1String(name)),
                         QLatin1String(text));

    QTest::keyClicks(byAccessibleName<QLineEdit>(form, QStringLiteral("Com-Port")), testPort());
    QTest::mouseClick(button(form, QStringLiteral("Start")), Qt::LeftButton);
    QLineEdit *bmi = byAccessibleName<QLineEdit>(*analysis, QStringLiteral("BMI"));
    QTRY_COMPARE_WITH_TIMEOUT(bmi->text(), QString::fromUtf16(u"22.9 kg/m\u00b2"), 10000);
    // 523 Ω over 1.75 m.
    QCOMPARE(byAccessibleName<QLineEdit>(*analysis, QStringLiteral("R/H"))->text(),
             QString::fromUtf16(u"298.9 \u03a9/m"));
    QVERIFY(
        !byAccessibleName<QLineEdit>(*analysis, QStringLiteral("Fat-free mass"))->text().isEmpty());
    analysis->raise();
    QTest::qWait(300);
    screenshot(QStringLiteral("tst_winewindow-analysis"));

    QTest::mouseClick(button(form, QStringLiteral("Clear")), Qt::LeftButton);
    QCOMPARE(bmi->text(), QString());
}

// Qt for Windows writes the report through its own PDF engine and fonts.
void TestWineWindow::reportIsOnePdf()
{
    analysis::Subject subject;
    subject.sex = analysis::Sex::Male;
    subject.age = 40;
    subject.heightCm = 175;
    subject.weightKg = 70;
    Record record;
    record.time = QDateTime::currentDateTime();
    record.port = 3;
    record.measurement.texts = {QStringLiteral("500"), QStringLiteral("60"),
                                QStringLiteral("432.1"), QStringLiteral("-1.2"),
                                QStringLiteral("6.8")};
    record.measurement.numbers = {500.0, 60.0, 432.1, -1.2, 6.8};
    const analysis::BivaReference reference =
        *analysis::builtInReference(analysis::defaultReferenceName());
    analysisreport::Content content{
        record, analysis::analyse(subject, record.measurement, reference), reference,
        {},     analysis::barbosaSilva2005Band(analysis::Sex::Male, 40),   6.8};
    content.scene.ellipses = analysis::toleranceEllipses(reference.male);
    const QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("report.pdf"));
    QString error;
    QVERIFY2(analysisreport::write(path, content, &error), qPrintable(error));
    QFile pdf(path);
    QVERIFY(pdf.open(QIODevice::ReadOnly));
    const QByteArray bytes = pdf.readAll();
    QVERIFY(bytes.startsWith("%PDF-"));
    QCOMPARE(bytes.count("/Type /Page\n") + bytes.count("/Type /Page "), 1);
    QVERIFY(QFile::copy(path, QStringLiteral("tst_winewindow-report.pdf")) ||
            QFile::exists(QStringLiteral("tst_winewindow-report.pdf")));
}

QTEST_MAIN(TestWineWindow)
#include "tst_winewindow.moc"
