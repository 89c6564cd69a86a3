#include "behaviour.h"
#include "csvreader.h"
#include "decoder/mdlDecodeEncode.h"
#include "filedialoganswerer.h"
#include "form1access.h"
#include "frame.h"
#include "messageboxanswerer.h"
#include "simulatedbox.h"
#include "temporaryconfighome.h"

#include <QAccessible>
#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDirIterator>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>

#include <algorithm>
#include <memory>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString frameFor(const QString &plainRecord)
{
    return QString::fromLatin1(box::measurementFrame(plainRecord, mdlDecodeEncode::decodingKey()));
}

QString frameFor(const box::Values &values)
{
    return frameFor(box::valueRecord(values));
}

// R-Foot is no number: the evaluation stops there, after R-Hand.
QString frameBrokenAtRFoot()
{
    return frameFor(box::valueRecord({}).replace(26, 6, QStringLiteral("1x2   ")));
}

const QStringList captions{"Resistance", "Reactance", "Phase angle", "R-Hand", "R-Foot"};
const QStringList csvHeader{"time",        "port",   "resistance", "reactance",
                            "phase_angle", "r_hand", "r_foot",     "error"};
// velumet-measure's columns for records with a subject: the analysis's
// between r_foot and error.
const QStringList analysisCsvHeader =
    csvHeader.mid(0, 7) +
    QStringList{"sex",           "age",          "height",        "weight",
                "bmi",           "r_h",          "xc_h",          "biva_reference",
                "biva_distance", "biva_ellipse", "phase_angle_z", "phase_angle_class",
                "ffm",           "fm",           "fat_percent",   "tbw",
                "analysis_note"} +
    QStringList{"error"};

// The cells of the first table in HTML, row by row, as a word processor
// reads them.
QList<QStringList> htmlTableRows(const QString &html)
{
    QTextDocument document;
    document.setHtml(html);
    for (QTextFrame *child : document.rootFrame()->childFrames()) {
        const auto *table = qobject_cast<QTextTable *>(child);
        if (!table)
            continue;
        QList<QStringList> rows;
        for (int row = 0; row < table->rows(); ++row) {
            QStringList cells;
            for (int column = 0; column < table->columns(); ++column)
                cells << table->cellAt(row, column).firstCursorPosition().block().text();
            rows << cells;
        }
        return rows;
    }
    return {};
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

// A message box's answer other than its default, pressed instead of it.
std::function<void()> pressInstead(QMessageBox::StandardButton button)
{
    return [button] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        box->setDefaultButton(button);
    };
}

// Root may write to any file, read-only or not; while this lives, the
// process acts as nobody, whom a read-only file refuses as it refuses a user.
class ActingAsNobody
{
public:
    ActingAsNobody()
    {
        if (::geteuid() == 0) {
            const passwd *nobody = ::getpwnam("nobody");
            m_acting = nobody && ::seteuid(nobody->pw_uid) == 0;
        }
    }
    ~ActingAsNobody()
    {
        if (m_acting)
            QVERIFY(::seteuid(0) == 0);
    }
    ActingAsNobody(const ActingAsNobody &) = delete;
    ActingAsNobody &operator=(const ActingAsNobody &) = delete;

private:
    bool m_acting = false;
};

QStringList filesBelow(const QString &directory)
{
    QStringList files;
    QDirIterator it(directory, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next();
    return files;
}

// Points HOME at a fresh directory, open to every user, while it exists.
class TemporaryHome
{
public:
    TemporaryHome() : m_previous(qgetenv("HOME"))
    {
        ::chmod(QFile::encodeName(m_dir.path()).constData(), 0755);
        qputenv("HOME", QFile::encodeName(m_dir.path()));
    }
    ~TemporaryHome() { qputenv("HOME", m_previous); }
    TemporaryHome(const TemporaryHome &) = delete;
    TemporaryHome &operator=(const TemporaryHome &) = delete;

private:
    QTemporaryDir m_dir;
    QByteArray m_previous;
};

enum class Opening { RightClick, MenuKey, ShiftF10 };

} // namespace

Q_DECLARE_METATYPE(Opening)

// Copy measurement and Save measurement on the window, driven as a user
// drives them: shortcuts, context menus, the file dialog, message boxes.
class TestMeasurementActions : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void noSettingsFileAppears_data();
    void noSettingsFileAppears();
    void clipboardCarriesThreeForms_data();
    void clipboardCarriesThreeForms();
    void actionsOnlyWhileAMeasurementShows();
    void ctrlCInAFieldCopiesItsSelection();
    void recordNamesTheConversationsPortAndTheFramesTime();
    void contextMenus_data();
    void contextMenus();
    void menuItemsAreAnnouncedWithTheirShortcuts();
    void saveAppendsOneRecord_data();
    void saveAppendsOneRecord();
    void failedSaveSaysWhyAndLeavesTheFile_data();
    void failedSaveSaysWhyAndLeavesTheFile();
    void savingTheSameMeasurementAgainAsksFirst_data();
    void savingTheSameMeasurementAgainAsksFirst();
    void saveAsTakesAnotherFile();
    void journalMatchesWhatVelumetMeasureWrites_data();
    void journalMatchesWhatVelumetMeasureWrites();
    void copyCarriesTheAnalysis_data();
    void copyCarriesTheAnalysis();
    void journalHoldsOneKindOfRecord_data();
    void journalHoldsOneKindOfRecord();

private:
    QAction *action(const char *name) const
    {
        return m_form->findChild<QAction *>(QLatin1String(name));
    }
    // Window shortcuts need the window active; the offscreen platform gives
    // activation back to no window when a dialog closes.
    void press(const QKeySequence &keys)
    {
        QApplication::setActiveWindow(m_form.get());
        QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
        QWidget *target = QApplication::focusWidget() ? QApplication::focusWidget() : m_form.get();
        QTest::keySequence(target, keys);
    }
    void copy() { press(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C)); }
    void save() { press(QKeySequence(Qt::CTRL | Qt::Key_S)); }
    void saveAs() { press(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)); }
    QMenu *openMenu(QWidget *widget, Opening opening);
    // Opens the analysis window with Ctrl+B and types the subject into it.
    void setSubject(const QString &sex, const QString &age, const QString &height,
                    const QString &weight);

    // The file dialog starts at home and lists it: a home of the tests' own
    // that nobody, as whom a test acts, may read.
    const TemporaryHome m_home;
    std::unique_ptr<Form1> m_form;
    QTemporaryDir m_dir;
};

void TestMeasurementActions::init()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    m_form = std::make_unique<Form1>();
    m_form->show();
    QApplication::setActiveWindow(m_form.get());
    QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
}

void TestMeasurementActions::cleanup()
{
    m_form.reset();
    for (const QString &file : filesBelow(m_dir.path()))
        QFile::remove(file);
}

void TestMeasurementActions::noSettingsFileAppears_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("saved");
    QTest::newRow("file dialog cancelled") << QString() << false;
    QTest::newRow("measurement saved") << QStringLiteral("journal.csv") << true;
}

// Qt's file dialog keeps its state among the user's settings, even when
// cancelled; the window writes no file but the journal the user picks.
void TestMeasurementActions::noSettingsFileAppears()
{
    QFETCH(QString, answer);
    QFETCH(bool, saved);
    const TemporaryConfigHome configHome;
    const QString qtSettings =
        QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("QtProject"))
            .fileName();
    const bool qtSettingsExisted = QFile::exists(qtSettings);
    Form1Access::receive(*m_form, frameFor(box::Values{}));
    copy();
    const FileDialogAnswerer dialog(answer.isEmpty() ? QString() : m_dir.filePath(answer));
    save();
    QCOMPARE(dialog.suggested().size(), 1);
    QCOMPARE(filesBelow(m_dir.path()).size(), saved ? 1 : 0);
    QCOMPARE(filesBelow(qEnvironmentVariable("XDG_CONFIG_HOME")), QStringList());
    QCOMPARE(QFile::exists(qtSettings), qtSettingsExisted);
}

void TestMeasurementActions::clipboardCarriesThreeForms_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("frame");
    // In the window's order, top to bottom, as its fields show them.
    QTest::addColumn<QStringList>("shown");
    // The same order, as velumet-measure writes them.
    QTest::addColumn<QStringList>("written");
    QTest::addColumn<bool>("failed");
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    const QLocale german(QLocale::German, QLocale::Germany);
    const QStringList whole{"523", "60", "6.5", "432.1", "-1.2"};
    const QStringList stopped{"523", "60", "", "432.1", ""};
    const QStringList zero{"0", "60", "", "432.1", "-1.2"};
    const QString zeroFrame = frameFor(box::Values{0, 600, 4321, -12});
    QTest::newRow("whole, en_US") << english << frameFor(box::Values{}) << whole << whole << false;
    QTest::newRow("whole, de_DE") << german << frameFor(box::Values{})
                                  << QStringList{"523", "60", "6,5", "432,1", "-1,2"} << whole
                                  << false;
    QTest::newRow("stopped at R-Foot, en_US")
        << english << frameBrokenAtRFoot() << stopped << stopped << true;
    QTest::newRow("stopped at R-Foot, de_DE")
        << german << frameBrokenAtRFoot() << QStringList{"523", "60", "", "432,1", ""} << stopped
        << true;
    QTest::newRow("zero resistance, en_US") << english << zeroFrame << zero << zero << false;
    QTest::newRow("zero resistance, de_DE")
        << german << zeroFrame << QStringList{"0", "60", "", "432,1", "-1,2"} << zero << false;
}

void TestMeasurementActions::clipboardCarriesThreeForms()
{
    QFETCH(QLocale, locale);
    QFETCH(QString, frame);
    QFETCH(QStringList, shown);
    QFETCH(QStringList, written);
    QFETCH(bool, failed);
    QLocale::setDefault(locale);
    const QDateTime before = QDateTime::currentDateTime();
    Form1Access::receive(*m_form, frame);
    const QDateTime after = QDateTime::currentDateTime();
    copy();
    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    QVERIFY(data);

    // A spreadsheet's paste: one header row, one value row.
    QCOMPARE(data->text(), captions.join(u'\t') + u'\n' + shown.join(u'\t') + u'\n');

    // A word processor's: a table of the same two rows.
    QCOMPARE(htmlTableRows(data->html()), (QList<QStringList>{captions, shown}));

    // A script's: velumet-measure's CSV, header and record.
    const QList<QStringList> csv = readCsv(data->data(QStringLiteral("text/csv")));
    QCOMPARE(csv.size(), 2);
    QCOMPARE(csv.at(0), csvHeader);
    const QStringList &record = csv.at(1);
    QCOMPARE(record.size(), csvHeader.size());
    const QDateTime time = QDateTime::fromString(record.at(0), Qt::ISODateWithMs);
    QVERIFY2(time >= before.addMSecs(-1) && time <= after.addMSecs(1), qPrintable(record.at(0)));
    QCOMPARE(record.at(1), QStringLiteral("1"));
    QCOMPARE(record.mid(2, 5), written);
    QVERIFY2(record.at(7).startsWith(QLatin1String("bad frame")) == failed,
             qPrintable(record.at(7)));
}

void TestMeasurementActions::actionsOnlyWhileAMeasurementShows()
{
    const QList<QAction *> actions{action("actCopyMeasurement"), action("actSaveMeasurement"),
                                   action("actSaveMeasurementAs")};
    const auto enabled = [&] {
        return std::all_of(actions.begin(), actions.end(),
                           [](QAction *a) { return a->isEnabled(); });
    };
    const auto disabled = [&] {
        return std::none_of(actions.begin(), actions.end(),
                            [](QAction *a) { return a->isEnabled(); });
    };
    const QString frame = frameFor(box::Values{});
    QVERIFY(disabled());
    Form1Access::receive(*m_form, QStringView(frame).left(67));
    QVERIFY2(disabled(), "part of a frame");
    copy();
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("before"));

    Form1Access::receive(*m_form, QStringView(frame).mid(67));
    QVERIFY(enabled());

    Form1Access::clear(*m_form);
    QVERIFY2(disabled(), "after Clear");
    copy();
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("before"));

    // Start empties the buffer first.
    Form1Access::receive(*m_form, frame);
    Form1Access::emptyBuffer(*m_form);
    QVERIFY2(disabled(), "after the buffer was emptied");
}

void TestMeasurementActions::ctrlCInAFieldCopiesItsSelection()
{
    Form1Access::receive(*m_form, frameFor(box::Values{}));
    auto *field = m_form->findChild<QLineEdit *>(QStringLiteral("txtrh"));
    field->setFocus();
    field->setSelection(0, 3);
    press(QKeySequence::Copy);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("432"));
    copy();
    QVERIFY(QGuiApplication::clipboard()->text().startsWith(captions.join(u'\t')));
}

// The port field may hold another number by the time the user copies; the
// record names the port the frame came in on, and the moment it completed.
void TestMeasurementActions::recordNamesTheConversationsPortAndTheFramesTime()
{
    const TemporaryConfigHome configHome;
    box::Behaviour fast;
    fast.fast = true;
    const box::SimulatedBox device(fast);
    const QDateTime before = QDateTime::currentDateTime();
    Form1Access::start(*m_form, QString::number(device.port()));
    QTRY_VERIFY_WITH_TIMEOUT(action("actCopyMeasurement")->isEnabled(), 5000);
    const QDateTime shown = QDateTime::currentDateTime();
    Form1Access::portField(*m_form)->setText(QStringLiteral("77"));
    QTest::qWait(300);
    copy();
    const QList<QStringList> csv =
        readCsv(QGuiApplication::clipboard()->mimeData()->data(QStringLiteral("text/csv")));
    QCOMPARE(csv.size(), 2);
    QCOMPARE(csv.at(1).at(1), QString::number(device.port()));
    const QDateTime time = QDateTime::fromString(csv.at(1).at(0), Qt::ISODateWithMs);
    QVERIFY2(time >= before.addMSecs(-1) && time <= shown.addMSecs(1), qPrintable(csv.at(1).at(0)));
}

QMenu *TestMeasurementActions::openMenu(QWidget *widget, Opening opening)
{
    switch (opening) {
    case Opening::RightClick: {
        // Through the window, where right clicks become context menu events.
        const QPoint at = widget->mapTo(m_form.get(), QPoint(4, 4));
        QTest::mouseClick(m_form->windowHandle(), Qt::RightButton, {}, at);
        break;
    }
    case Opening::MenuKey: {
        // What the platform sends for the context-menu key: an event for the
        // focus widget, at its cursor.
        widget->setFocus();
        const QPoint at = widget->inputMethodQuery(Qt::ImCursorRectangle).toRect().center();
        QContextMenuEvent event(QContextMenuEvent::Keyboard, at, widget->mapToGlobal(at));
        QApplication::sendEvent(widget, &event);
        break;
    }
    case Opening::ShiftF10:
        widget->setFocus();
        QTest::keyClick(widget, Qt::Key_F10, Qt::ShiftModifier);
        break;
    }
    return qobject_cast<QMenu *>(QApplication::activePopupWidget());
}

void TestMeasurementActions::contextMenus_data()
{
    QTest::addColumn<QString>("widget");
    QTest::addColumn<Opening>("opening");
    QTest::addColumn<bool>("editEntries");
    QTest::addColumn<bool>("measurementEntries");
    QTest::newRow("value field, right click") << "txtR" << Opening::RightClick << true << true;
    QTest::newRow("value field, context-menu key") << "txtRF" << Opening::MenuKey << true << true;
    QTest::newRow("value field, Shift+F10") << "txtPhase" << Opening::ShiftF10 << true << true;
    QTest::newRow("panel, right click") << "Frame1" << Opening::RightClick << false << true;
    QTest::newRow("caption, right click") << "Label7" << Opening::RightClick << false << true;
    QTest::newRow("Clear, context-menu key") << "cmdClear" << Opening::MenuKey << false << true;
    QTest::newRow("Start, Shift+F10") << "Command1" << Opening::ShiftF10 << false << true;
    QTest::newRow("port field, right click") << "Text1" << Opening::RightClick << true << false;
}

void TestMeasurementActions::contextMenus()
{
    QFETCH(QString, widget);
    QFETCH(Opening, opening);
    QFETCH(bool, editEntries);
    QFETCH(bool, measurementEntries);
    Form1Access::receive(*m_form, frameFor(box::Values{}));
    QMenu *menu = openMenu(m_form->findChild<QWidget *>(widget), opening);
    QVERIFY(menu);
    QStringList texts;
    for (const QAction *entry : menu->actions())
        texts << entry->text();
    QCOMPARE(texts.contains(QStringLiteral("&Copy\tCtrl+C")), editEntries);
    for (const char *name : {"actCopyMeasurement", "actSaveMeasurement", "actSaveMeasurementAs",
                             "actAnalysis", "actSaveReport"})
        QVERIFY2(menu->actions().contains(action(name)) == measurementEntries, name);
    menu->close();
}

// As a screen reader reads the menu: each entry by its name, with the
// shortcut that reaches it without the menu.
void TestMeasurementActions::menuItemsAreAnnouncedWithTheirShortcuts()
{
    Form1Access::receive(*m_form, frameFor(box::Values{}));
    QMenu *menu = openMenu(m_form->findChild<QWidget *>(QStringLiteral("txtR")), Opening::MenuKey);
    QVERIFY(menu);
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(menu);
    QVERIFY(accessible);
    QStringList announced;
    for (int i = 0; i < accessible->childCount(); ++i) {
        const QAccessibleInterface *item = accessible->child(i);
        if (item->role() == QAccessible::MenuItem)
            announced << item->text(QAccessible::Name) + u' ' +
                             item->text(QAccessible::Accelerator);
    }
    for (const QString &expected :
         {QStringLiteral("Copy measurement Ctrl+Shift+C"),
          QStringLiteral("Save measurement… Ctrl+S"),
          QStringLiteral("Save measurement as… Ctrl+Shift+S"), QStringLiteral("Analysis… Ctrl+B"),
          QStringLiteral("Save report as PDF… Ctrl+P")})
        QVERIFY2(announced.contains(expected), qPrintable(announced.join(QStringLiteral(" | "))));
    menu->close();
}

void TestMeasurementActions::saveAppendsOneRecord_data()
{
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("prefix");
    const QByteArray header = "time,port,resistance,reactance,phase_angle,r_hand,r_foot,error\r\n";
    const QByteArray earlier = "2026-12-10T12:00:00.007+01:00,3,52.3,6,6.5,432.1,-1.2,";
    QTest::newRow("new file") << false << QByteArray() << header;
    QTest::newRow("empty file") << true << QByteArray() << header;
    QTest::newRow("journal from before") << true << header + earlier + "\r\n"
                                         << header + earlier + "\r\n";
    QTest::newRow("last line without its line break")
        << true << header + earlier << header + earlier + "\r\n";
}

void TestMeasurementActions::saveAppendsOneRecord()
{
    QFETCH(bool, exists);
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, prefix);
    const QString journal = m_dir.filePath(QStringLiteral("journal.csv"));
    if (exists)
        write(journal, before);
    const FileDialogAnswerer dialog(journal);
    Form1Access::receive(*m_form, frameFor(box::Values{}));
    save();
    QCOMPARE(dialog.suggested().size(), 1);
    const QByteArray saved = contents(journal);
    QVERIFY2(saved.startsWith(prefix), saved.constData());
    const QList<QStringList> records = readCsv(saved.mid(prefix.size()));
    QCOMPARE(records.size(), 1);
    QCOMPARE(records.at(0).mid(1),
             (QStringList{"1", "523", "60", "6.5", "432.1", "-1.2", QString()}));
    QVERIFY(saved.endsWith("\r\n"));
    // The menu names the journal; the next measurement goes there unasked.
    QCOMPARE(action("actSaveMeasurement")->text(),
             QStringLiteral("&Save measurement to journal.csv"));
    Form1Access::emptyBuffer(*m_form);
    Form1Access::receive(*m_form, frameFor(box::Values{0, 600, 4321, -12}));
    save();
    QCOMPARE(dialog.suggested().size(), 1);
    QCOMPARE(readCsv(contents(journal).mid(prefix.size())).size(), 2);
}

void TestMeasurementActions::failedSaveSaysWhyAndLeavesTheFile_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("regular");
    QTest::newRow("read-only file") << QStringLiteral("read-only.csv") << true;
    // A device that reports a full disk to everyone, root included.
    QTest::newRow("full disk") << QStringLiteral("full.csv") << false;
}

void TestMeasurementActions::failedSaveSaysWhyAndLeavesTheFile()
{
    QFETCH(QString, path);
    QFETCH(bool, regular);
    const QString file = QDir(m_dir.path()).absoluteFilePath(path);
    const QByteArray journal = "time,port,resistance,reactance,phase_angle,r_hand,r_foot,error\r\n"
                               "2026-12-10T12:00:00.007+01:00,3,52.3,6,6.5,432.1,-1.2,\r\n";
    if (regular) {
        write(file, journal);
        QVERIFY(
            QFile::setPermissions(file, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        QVERIFY(::chmod(QFile::encodeName(m_dir.path()).constData(), 0755) == 0);
    } else {
        QVERIFY(QFile::link(QStringLiteral("/dev/full"), file));
    }
    Form1Access::receive(*m_form, frameFor(box::Values{}));
    FileDialogAnswerer dialog(file);
    const MessageBoxAnswerer boxes;
    {
        const ActingAsNobody nobody;
        save();
    }
    QCOMPARE(boxes.shown().size(), 1);
    const MessageBoxAnswerer::Shown &shown = boxes.shown().first();
    QCOMPARE(shown.title, QStringLiteral("Velumet Display"));
    QCOMPARE(shown.icon, QMessageBox::Critical);
    QCOMPARE(shown.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    const QStringList lines = shown.text.split(u'\n');
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines.at(0), QStringLiteral("Die Messung konnte nicht gespeichert werden!"));
    QCOMPARE(lines.at(2), file + u':');
    QVERIFY2(!lines.at(3).isEmpty(), "the system's reason");
    if (regular)
        QCOMPARE(contents(file), journal);
    // The file did not become the journal: the next save asks again.
    QCOMPARE(action("actSaveMeasurement")->text(), QStringLiteral("&Save measurement…"));
    dialog.setAnswer(QString());
    save();
    QCOMPARE(dialog.suggested().size(), 2);
}

void TestMeasurementActions::savingTheSameMeasurementAgainAsksFirst_data()
{
    QTest::addColumn<QMessageBox::StandardButton>("answer");
    QTest::addColumn<int>("records");
    QTest::newRow("answered No") << QMessageBox::No << 1;
    QTest::newRow("answered Yes") << QMessageBox::Yes << 2;
}

void TestMeasurementActions::savingTheSameMeasurementAgainAsksFirst()
{
    QFETCH(QMessageBox::StandardButton, answer);
    QFETCH(int, records);
    const QString journal = m_dir.filePath(QStringLiteral("journal.csv"));
    const FileDialogAnswerer dialog(journal);
    Form1Access::receive(*m_form, frameFor(box::Values{}));
    {
        const MessageBoxAnswerer boxes;
        save();
        QCOMPARE(boxes.shown().size(), 0);
    }
    const MessageBoxAnswerer boxes(0, pressInstead(answer));
    save();
    QCOMPARE(boxes.shown().size(), 1);
    const MessageBoxAnswerer::Shown &shown = boxes.shown().first();
    QCOMPARE(shown.text,
             QStringLiteral("Diese Messung wurde bereits gespeichert. Noch einmal speichern?"));
    QCOMPARE(shown.title, QStringLiteral("Velumet Display"));
    QCOMPARE(shown.buttons, QMessageBox::Yes | QMessageBox::No);
    QVERIFY2(shown.buttonTexts.contains(QStringLiteral("Ja")) &&
                 shown.buttonTexts.contains(QStringLiteral("Nein")),
             qPrintable(shown.buttonTexts.join(u' ')));
    QCOMPARE(readCsv(contents(journal)).size(), 1 + records);

    // A new measurement is a new record: no question.
    Form1Access::emptyBuffer(*m_form);
    Form1Access::receive(*m_form, frameFor(box::Values{}));
    save();
    QCOMPARE(boxes.shown().size(), 1);
    QCOMPARE(readCsv(contents(journal)).size(), 2 + records);
}

void TestMeasurementActions::saveAsTakesAnotherFile()
{
    const QString first = m_dir.filePath(QStringLiteral("first.csv"));
    const QString second = m_dir.filePath(QStringLiteral("second.csv"));
    FileDialogAnswerer dialog(first);
    const MessageBoxAnswerer boxes;
    Form1Access::receive(*m_form, frameFor(box::Values{}));
    save();
    // The same measurement into another journal is no double entry.
    dialog.setAnswer(second);
    saveAs();
    QCOMPARE(dialog.suggested(),
             (QStringList{QDir::home().filePath(QStringLiteral("measurements.csv")), first}));
    QCOMPARE(action("actSaveMeasurement")->text(),
             QStringLiteral("&Save measurement to second.csv"));
    Form1Access::emptyBuffer(*m_form);
    Form1Access::receive(*m_form, frameFor(box::Values{}));
    save();
    QCOMPARE(dialog.suggested().size(), 2);
    QCOMPARE(boxes.shown().size(), 0);
    QCOMPARE(readCsv(contents(first)).size(), 2);
    QCOMPARE(readCsv(contents(second)).size(), 3);
}

// Three measurements saved from the window and the same three boxes measured
// by velumet-measure give the same journal, apart from the times.
void TestMeasurementActions::journalMatchesWhatVelumetMeasureWrites_data()
{
    QTest::addColumn<QStringList>("subject");
    QTest::addColumn<QStringList>("header");
    QTest::newRow("no subject") << QStringList() << csvHeader;
    QTest::newRow("a man of 40") << QStringList{"--sex",    "male", "--age",    "40",
                                                "--height", "175",  "--weight", "70"}
                                 << analysisCsvHeader;
}

void TestMeasurementActions::journalMatchesWhatVelumetMeasureWrites()
{
    QFETCH(QStringList, subject);
    QFETCH(QStringList, header);
    if (!subject.isEmpty())
        setSubject(QStringLiteral("Male"), subject.at(3), subject.at(5), subject.at(7));
    const TemporaryConfigHome configHome;
    std::vector<std::unique_ptr<box::SimulatedBox>> boxes;
    for (const box::Fault fault :
         {box::Fault::None, box::Fault::ZeroResistance, box::Fault::BadValue}) {
        box::Behaviour behaviour;
        behaviour.fast = true;
        behaviour.fault = fault;
        boxes.push_back(std::make_unique<box::SimulatedBox>(behaviour));
    }
    const QString saved = m_dir.filePath(QStringLiteral("window.csv"));
    const QString measured = m_dir.filePath(QStringLiteral("measure.csv"));
    const FileDialogAnswerer dialog(saved);
    for (const auto &device : boxes) {
        Form1Access::start(*m_form, QString::number(device->port()));
        QTRY_VERIFY_WITH_TIMEOUT(action("actSaveMeasurement")->isEnabled(), 5000);
        save();
        Form1Access::clear(*m_form);
    }
    for (const auto &device : boxes) {
        QProcess process;
        process.start(QStringLiteral(VELUMET_MEASURE),
                      QStringList{QStringLiteral("--port"), QString::number(device->port()),
                                  QStringLiteral("--format"), QStringLiteral("csv"),
                                  QStringLiteral("--output"), measured} +
                          subject);
        QVERIFY(process.waitForStarted(5000));
        // The boxes answer from this thread's event loop.
        const QDeadlineTimer deadline(20000);
        while (process.state() != QProcess::NotRunning && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
        QCOMPARE(process.state(), QProcess::NotRunning);
    }
    QList<QStringList> fromWindow = readCsv(contents(saved));
    QList<QStringList> fromMeasure = readCsv(contents(measured));
    QCOMPARE(fromWindow.size(), 4);
    QCOMPARE(fromWindow.first(), header);
    for (QList<QStringList> *journal : {&fromWindow, &fromMeasure}) {
        for (qsizetype row = 1; row < journal->size(); ++row) {
            QStringList &record = (*journal)[row];
            QVERIFY2(QDateTime::fromString(record.at(0), Qt::ISODateWithMs).isValid(),
                     qPrintable(record.at(0)));
            record[0].clear();
        }
    }
    QCOMPARE(fromWindow, fromMeasure);
}

void TestMeasurementActions::setSubject(const QString &sex, const QString &age,
                                        const QString &height, const QString &weight)
{
    press(QKeySequence(Qt::CTRL | Qt::Key_B));
    QWidget *window = m_form->findChild<QWidget *>(QStringLiteral("AnalysisWindow"));
    QVERIFY(window && window->isVisible());
    const auto named = [window](const QString &name) {
        for (QWidget *widget : window->findChildren<QWidget *>()) {
            if (widget->accessibleName() == name)
                return widget;
        }
        return static_cast<QWidget *>(nullptr);
    };
    auto *sexBox = qobject_cast<QComboBox *>(named(QStringLiteral("Sex")));
    sexBox->setCurrentIndex(sexBox->findText(sex));
    const std::pair<QString, QString> inputs[] = {{QStringLiteral("Age"), age},
                                                  {QStringLiteral("Height"), height},
                                                  {QStringLiteral("Weight"), weight}};
    for (const auto &[name, text] : inputs) {
        auto *field = qobject_cast<QLineEdit *>(named(name));
        field->clear();
        QTest::keyClicks(field, text);
    }
}

void TestMeasurementActions::copyCarriesTheAnalysis_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("weight");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("en_US") << QLocale(QLocale::English, QLocale::UnitedStates)
                           << QStringLiteral("70.0")
                           << QStringList{"500",
                                          "60",
                                          "6.8",
                                          "432.1",
                                          "-1.2",
                                          "Male",
                                          "40 years",
                                          "175 cm",
                                          "70 kg",
                                          "22.9 kg/m²",
                                          "285.7 Ω/m",
                                          "34.3 Ω/m",
                                          "inside 50 %, distance 0.77",
                                          "-1.08, P5 to P95 of men 40–49: 7.76 ± 0.85",
                                          "55.8 kg",
                                          "14.2 kg",
                                          "20.3 %",
                                          "41.4 L",
                                          ""};
    QTest::newRow("de_DE") << QLocale(QLocale::German, QLocale::Germany) << QStringLiteral("70,0")
                           << QStringList{"500",
                                          "60",
                                          "6,8",
                                          "432,1",
                                          "-1,2",
                                          "Male",
                                          "40 years",
                                          "175 cm",
                                          "70 kg",
                                          "22,9 kg/m²",
                                          "285,7 Ω/m",
                                          "34,3 Ω/m",
                                          "inside 50 %, distance 0,77",
                                          "-1,08, P5 to P95 of men 40–49: 7,76 ± 0,85",
                                          "55,8 kg",
                                          "14,2 kg",
                                          "20,3 %",
                                          "41,4 L",
                                          ""};
}

// With a subject set, each form of the copy carries the analysis: the
// values as the analysis window shows them, and velumet-measure's record.
void TestMeasurementActions::copyCarriesTheAnalysis()
{
    QFETCH(QLocale, locale);
    QFETCH(QString, weight);
    QFETCH(QStringList, shown);
    // The analysis window's number fields take the locale it was made in.
    m_form.reset();
    QLocale::setDefault(locale);
    m_form = std::make_unique<Form1>();
    m_form->show();
    setSubject(QStringLiteral("Male"), QStringLiteral("40"), QStringLiteral("175"), weight);
    Form1Access::receive(*m_form, frameFor(box::Values{5000, 600, 4321, -12}));
    copy();
    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    const QStringList analysisCaptions{"Sex",
                                       "Age",
                                       "Height",
                                       "Weight",
                                       "BMI",
                                       "R/H",
                                       "Xc/H",
                                       "BIVA",
                                       "Phase angle z",
                                       "Fat-free mass",
                                       "Fat mass",
                                       "Body fat",
                                       "Total body water",
                                       "Note"};
    QCOMPARE(data->text(),
             (captions + analysisCaptions).join(u'\t') + u'\n' + shown.join(u'\t') + u'\n');

    const QList<QStringList> rows = htmlTableRows(data->html());
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows.at(1), shown);

    const QList<QStringList> csv = readCsv(data->data(QStringLiteral("text/csv")));
    QCOMPARE(csv.size(), 2);
    QCOMPARE(csv.at(0), analysisCsvHeader);
    QCOMPARE(csv.at(1).mid(2),
             (QStringList{"500",    "60",   "6.8",   "432.1", "-1.2",        "male", "40",  "175",
                          "70",     "22.9", "285.7", "34.3",  "piccoli1995", "0.77", "50%", "-1.08",
                          "p5_p95", "55.8", "14.2",  "20.3",  "41.4",        "",     ""}));
}

void TestMeasurementActions::journalHoldsOneKindOfRecord_data()
{
    QTest::addColumn<bool>("subject");
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("reason");
    const QByteArray plain = "time,port,resistance,reactance,phase_angle,r_hand,r_foot,error\r\n"
                             "2026-12-10T12:00:00.007+01:00,3,52.3,6,6.5,432.1,-1.2,\r\n";
    const QByteArray analysed = analysisCsvHeader.join(u',').toUtf8() + "\r\n";
    QTest::newRow("an analysis into a plain journal")
        << true << plain << QStringLiteral("Das Journal hat keine Spalten für die Analyse.");
    QTest::newRow("no analysis into an analysis journal")
        << false << analysed << QStringLiteral("Das Journal hat Spalten für die Analyse, diese");
    QTest::newRow("an analysis into an analysis journal") << true << analysed << QString();
}

// A journal's header fixes its columns: a record of the other kind is
// refused, the journal named and left as it was; Save measurement as…
// takes another.
void TestMeasurementActions::journalHoldsOneKindOfRecord()
{
    QFETCH(bool, subject);
    QFETCH(QByteArray, before);
    QFETCH(QString, reason);
    const QString journal = m_dir.filePath(QStringLiteral("journal.csv"));
    write(journal, before);
    if (subject)
        setSubject(QStringLiteral("Female"), QStringLiteral("35"), QStringLiteral("165"),
                   QStringLiteral("60"));
    Form1Access::receive(*m_form, frameFor(box::Values{}));
    FileDialogAnswerer dialog(journal);
    const MessageBoxAnswerer boxes;
    save();
    if (reason.isEmpty()) {
        QCOMPARE(boxes.shown().size(), 0);
        const QList<QStringList> records = readCsv(contents(journal));
        QCOMPARE(records.size(), 2);
        QCOMPARE(records.at(1).at(7), QStringLiteral("female"));
        return;
    }
    QCOMPARE(boxes.shown().size(), 1);
    const QStringList lines = boxes.shown().first().text.split(u'\n');
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines.at(0), QStringLiteral("Die Messung konnte nicht gespeichert werden!"));
    QCOMPARE(lines.at(2), QDir::toNativeSeparators(journal) + u':');
    QVERIFY2(lines.at(3).startsWith(reason), qPrintable(lines.at(3)));
    QVERIFY2(lines.at(3).contains(QStringLiteral("„Save measurement as…“")),
             qPrintable(lines.at(3)));
    QCOMPARE(contents(journal), before);

    const QString other = m_dir.filePath(QStringLiteral("other.csv"));
    dialog.setAnswer(other);
    saveAs();
    QCOMPARE(boxes.shown().size(), 1);
    QCOMPARE(readCsv(contents(other)).size(), 2);
}

QTEST_MAIN(TestMeasurementActions)
#include "tst_measurementactions.moc"
