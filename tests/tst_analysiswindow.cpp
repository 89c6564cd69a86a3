#include "analysis/analysis.h"
#include "decoder/mdlDecodeEncode.h"
#include "filedialoganswerer.h"
#include "form1access.h"
#include "frame.h"
#include "messageboxanswerer.h"
#include "ui/analysiswindow.h"
#include "ui/bivagraph.h"
#include "ui/phaseanglebar.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <csignal>
#include <memory>
#include <sys/resource.h>

namespace {

const QLocale english(QLocale::English, QLocale::UnitedStates);
const QLocale german(QLocale::German, QLocale::Germany);

QString frameFor(const box::Values &values)
{
    return QString::fromLatin1(
        box::measurementFrame(box::valueRecord(values), mdlDecodeEncode::decodingKey()));
}

// R 500.0 and Xc 60.0, in tenths as the box sends them.
const box::Values manAt500{5000, 600, 4321, -12};

const QStringList resultNames{"BMI",      "R/H",           "Xc/H",
                              "BIVA",     "Phase angle z", "Fat-free mass",
                              "Fat mass", "Body fat",      "Total body water"};

// What the user typed, as text; an empty text is an input left out.
struct Typed
{
    QString sex;
    QString age;
    QString height;
    QString weight;
};

QString pdfToText(const QString &pdf, const QStringList &options = {})
{
    QProcess process;
    process.start(QStringLiteral("pdftotext"), options + QStringList{pdf, QStringLiteral("-")});
    if (!process.waitForFinished(20000) || process.exitCode() != 0)
        return QString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

// Files this process writes stop growing at the limit while it lives; a write
// past it fails instead of raising SIGXFSZ.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_before);
        m_signal = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_before;
        limit.rlim_cur = std::min(bytes, m_before.rlim_max);
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_before);
        std::signal(SIGXFSZ, m_signal);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    rlimit m_before{};
    void (*m_signal)(int) = nullptr;
};

} // namespace

Q_DECLARE_METATYPE(Typed)

// The analysis window as a user drives it beside the measuring window: the
// subject typed in, measurements arriving, Start and Clear, the graph, the
// report.
class TestAnalysisWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void opensWithCtrlBAndClosesWithEsc();
    void everyControlIsReachableByKeyboard();
    void doneWhenValues_data();
    void doneWhenValues();
    void resultsFollowTheCore_data();
    void resultsFollowTheCore();
    void outOfRangeInputIsMissingAndSaid();
    void barShowsTheAngleTheClassCameFrom();
    void startAndClearLeaveNothingStale_data();
    void startAndClearLeaveNothingStale();
    void followUpPath();
    void graphGeometry_data();
    void graphGeometry();
    void referenceFromFile_data();
    void referenceFromFile();
    void reportText_data();
    void reportText();
    void exportGraphAsPng_data();
    void exportGraphAsPng();
    void failedReportSaysWhyAndLeavesNoFile_data();
    void failedReportSaysWhyAndLeavesNoFile();

private:
    template <typename T> T *named(const QString &name) const
    {
        for (T *widget : m_window->findChildren<T *>()) {
            if (widget->accessibleName() == name)
                return widget;
        }
        return nullptr;
    }
    QLineEdit *field(const QString &name) const { return named<QLineEdit>(name); }
    QStringList results() const
    {
        QStringList texts;
        for (const QString &name : resultNames)
            texts << field(name)->text();
        return texts;
    }
    BivaGraph *graph() const { return m_window->findChild<BivaGraph *>(); }
    QAction *reportAction() const
    {
        return m_window->findChild<QAction *>(QStringLiteral("actSaveReport"));
    }
    // As the user types it, the sex chosen from its list with the keyboard.
    void type(const Typed &typed);
    // A measurement as it arrives after Start.
    void measure(const box::Values &values)
    {
        Form1Access::emptyBuffer(*m_form);
        Form1Access::receive(*m_form, frameFor(values));
    }
    void saveReport(const QString &path);

    std::unique_ptr<Form1> m_form;
    AnalysisWindow *m_window = nullptr;
    QTemporaryDir m_dir;
};

void TestAnalysisWindow::initTestCase()
{
    QLocale::setDefault(english);
}

// Made in the locale set then, as the program makes it in the user's.
void TestAnalysisWindow::init()
{
    m_form = std::make_unique<Form1>();
    m_form->show();
    QApplication::setActiveWindow(m_form.get());
    QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
    QTest::keyClick(m_form.get(), Qt::Key_B, Qt::ControlModifier);
    m_window = m_form->findChild<AnalysisWindow *>();
    QVERIFY(m_window);
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
}

void TestAnalysisWindow::cleanup()
{
    m_form.reset();
    m_window = nullptr;
    QLocale::setDefault(english);
    // A report left from the row before would make the dialog ask to replace it.
    QDir(m_dir.path()).removeRecursively();
    QDir().mkpath(m_dir.path());
}

void TestAnalysisWindow::type(const Typed &typed)
{
    auto *sex = named<QComboBox>(QStringLiteral("Sex"));
    if (!typed.sex.isEmpty()) {
        // From the top of the closed list downwards.
        sex->setFocus();
        QTest::keyClick(sex, Qt::Key_Home);
        for (int i = 0; i < sex->count() && sex->currentText() != typed.sex; ++i)
            QTest::keyClick(sex, Qt::Key_Down);
    }
    QCOMPARE(sex->currentText(), typed.sex);
    const std::pair<const char *, QString> inputs[] = {
        {"Age", typed.age}, {"Height", typed.height}, {"Weight", typed.weight}};
    for (const auto &[name, text] : inputs) {
        QLineEdit *input = field(QLatin1String(name));
        input->clear();
        QTest::keyClicks(input, text);
        QCOMPARE(input->text(), text);
    }
}

void TestAnalysisWindow::saveReport(const QString &path)
{
    const FileDialogAnswerer dialog(path);
    QApplication::setActiveWindow(m_window);
    QVERIFY(QTest::qWaitForWindowActive(m_window));
    QTest::keyClick(m_window, Qt::Key_P, Qt::ControlModifier);
    QCOMPARE(dialog.suggested().size(), 1);
}

void TestAnalysisWindow::opensWithCtrlBAndClosesWithEsc()
{
    QVERIFY(m_window->isVisible());
    QVERIFY(m_window->isWindow());
    QVERIFY(!m_window->isModal());
    QApplication::setActiveWindow(m_window);
    QVERIFY(QTest::qWaitForWindowActive(m_window));
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : m_window,
                    Qt::Key_Escape);
    QVERIFY(!m_window->isVisible());
    // What it was told stays while the program runs.
    QApplication::setActiveWindow(m_form.get());
    QTest::keyClick(m_form.get(), Qt::Key_B, Qt::ControlModifier);
    QVERIFY(m_window->isVisible());
    QVERIFY(graph()->width() >= 300 && graph()->height() >= 240);
}

// Tab walks every input, the graph (whose menu exports it) and the report
// button; a caption's mnemonic reaches its field.
void TestAnalysisWindow::everyControlIsReachableByKeyboard()
{
    measure(manAt500);
    QApplication::setActiveWindow(m_window);
    QVERIFY(QTest::qWaitForWindowActive(m_window));
    named<QComboBox>(QStringLiteral("Sex"))->setFocus();
    QStringList visited;
    for (int i = 0; i < 40; ++i) {
        QWidget *focus = QApplication::focusWidget();
        const QString name = focus->accessibleName().isEmpty()
                                 ? qobject_cast<QAbstractButton *>(focus)
                                       ? qobject_cast<QAbstractButton *>(focus)->text()
                                       : QString()
                                 : focus->accessibleName();
        if (visited.contains(name))
            break;
        visited << name;
        QTest::keyClick(focus, Qt::Key_Tab);
    }
    for (const QString &expected :
         {QStringLiteral("Sex"), QStringLiteral("Age"), QStringLiteral("Height"),
          QStringLiteral("Weight"), QStringLiteral("Reference"), QStringLiteral("BIVA graph"),
          QStringLiteral("Save &report as PDF…")})
        QVERIFY2(visited.contains(expected), qPrintable(visited.join(QStringLiteral(" | "))));

    QTest::keyClick(m_window, Qt::Key_G, Qt::AltModifier);
    QCOMPARE(QApplication::focusWidget(), field(QStringLiteral("Age")));
}

void TestAnalysisWindow::doneWhenValues_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("weight");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QString>("female");
    QTest::newRow("en_US") << english << QStringLiteral("70.0")
                           << QStringList{"22.9 kg/m²",
                                          "285.7 Ω/m",
                                          "34.3 Ω/m",
                                          "inside 50 %, distance 0.77",
                                          "-1.08, P5 to P95 of men 40–49: 7.76 ± 0.85",
                                          "55.8 kg",
                                          "14.2 kg",
                                          "20.3 %",
                                          "41.4 L"}
                           << QStringLiteral("51.6 kg");
    QTest::newRow("de_DE") << german << QStringLiteral("70,0")
                           << QStringList{"22,9 kg/m²",
                                          "285,7 Ω/m",
                                          "34,3 Ω/m",
                                          "inside 50 %, distance 0,77",
                                          "-1,08, P5 to P95 of men 40–49: 7,76 ± 0,85",
                                          "55,8 kg",
                                          "14,2 kg",
                                          "20,3 %",
                                          "41,4 L"}
                           << QStringLiteral("51,6 kg");
}

// A man of 40, 175 cm, 70 kg at R 500.0 and Xc 60.0; then the same as a woman.
void TestAnalysisWindow::doneWhenValues()
{
    QFETCH(QLocale, locale);
    QFETCH(QString, weight);
    QFETCH(QStringList, expected);
    QFETCH(QString, female);
    QLocale::setDefault(locale);
    // The window's validators take the locale it was made in.
    init();
    measure(manAt500);
    type({QStringLiteral("Male"), QStringLiteral("40"), QStringLiteral("175"), weight});
    QCOMPARE(results(), expected);
    QCOMPARE(named<QLabel>(QStringLiteral("Notes"))->text(), QString());

    type({QStringLiteral("Female"), QStringLiteral("40"), QStringLiteral("175"), weight});
    QCOMPARE(field(QStringLiteral("Fat-free mass"))->text(), female);
}

void TestAnalysisWindow::resultsFollowTheCore_data()
{
    QTest::addColumn<Typed>("typed");
    QTest::addColumn<box::Values>("values");
    QTest::addColumn<QString>("noteSays");
    const box::Values values = manAt500;
    QTest::newRow("whole subject") << Typed{"Male", "40", "175", "70"} << values << QString();
    QTest::newRow("no sex") << Typed{"", "40", "175", "70"} << values
                            << QStringLiteral("BIVA needs sex.");
    QTest::newRow("no age") << Typed{"Female", "", "175", "70"} << values
                            << QStringLiteral("The phase angle comparison needs age.");
    QTest::newRow("no height") << Typed{"Male", "40", "", "70"} << values
                               << QStringLiteral("R/H and Xc/H need height.");
    QTest::newRow("no weight") << Typed{"Male", "40", "175", ""} << values
                               << QStringLiteral("BMI needs weight.");
    QTest::newRow("19 years") << Typed{"Female", "19", "162.5", "55"} << values
                              << QStringLiteral("ages 20 to 94");
    QTest::newRow("nothing typed")
        << Typed{} << values << QStringLiteral("BMI needs height and weight.");
    QTest::newRow("zero resistance")
        << Typed{"Male", "40", "175", "70"} << box::Values{0, 600, 4321, -12}
        << QStringLiteral("A resistance of 0 Ω");
}

// Every field against the core's own analysis of the same subject and
// measurement: present exactly where the core gives a value, with that
// value; the core's notes beside them.
void TestAnalysisWindow::resultsFollowTheCore()
{
    QFETCH(Typed, typed);
    QFETCH(box::Values, values);
    QFETCH(QString, noteSays);
    measure(values);
    type(typed);

    analysis::Subject subject;
    subject.sex = analysis::sexFromText(typed.sex);
    if (!typed.age.isEmpty())
        subject.age = typed.age.toInt();
    if (!typed.height.isEmpty())
        subject.heightCm = typed.height.toDouble();
    if (!typed.weight.isEmpty())
        subject.weightKg = typed.weight.toDouble();
    Measurement measurement;
    measurement.numbers[Measurement::Resistance] = values.resistance / 10.0;
    measurement.numbers[Measurement::Reactance] = values.reactance / 10.0;
    const analysis::Analysis core = analysis::analyse(
        subject, measurement, *analysis::builtInReference(analysis::defaultReferenceName()));

    const std::pair<std::optional<double>, int> expected[] = {
        {core.bmi, 1},          {core.rh, 1},          {core.xch, 1},
        {core.bivaDistance, 2}, {core.phaseAngleZ, 2}, {core.ffm, 1},
        {core.fm, 1},           {core.fatPercent, 1},  {core.tbw, 1}};
    for (int i = 0; i < resultNames.size(); ++i) {
        const QString shown = field(resultNames.at(i))->text();
        const auto &[value, decimals] = expected[i];
        QVERIFY2(shown.isEmpty() == !value, qPrintable(resultNames.at(i) + u' ' + shown));
        if (value)
            QVERIFY2(shown.contains(QLocale().toString(*value, 'f', decimals)),
                     qPrintable(resultNames.at(i) + u' ' + shown));
    }
    const QString notes = named<QLabel>(QStringLiteral("Notes"))->text();
    for (const QString &note : core.notes)
        QVERIFY2(notes.contains(note), qPrintable(notes));
    QVERIFY2(notes.contains(noteSays), qPrintable(notes));
    QCOMPARE(m_window->analysis().has_value(), !subject.isEmpty());
}

void TestAnalysisWindow::outOfRangeInputIsMissingAndSaid()
{
    measure(manAt500);
    type(
        {QStringLiteral("Male"), QStringLiteral("40"), QStringLiteral("25"), QStringLiteral("70")});
    QCOMPARE(field(QStringLiteral("R/H"))->text(), QString());
    QVERIFY2(named<QLabel>(QStringLiteral("Notes"))
                 ->text()
                 .contains(QStringLiteral("Height must be 30 to 250 cm.")),
             qPrintable(named<QLabel>(QStringLiteral("Notes"))->text()));
}

// 523 Ω and 60 Ω give 6.54°, shown as 6.5: above the 5th percentile of men
// of 40 to 49, 6.53, as the class says, and so on the bar.
void TestAnalysisWindow::barShowsTheAngleTheClassCameFrom()
{
    type({QStringLiteral("Male"), QStringLiteral("40"), QStringLiteral("175"),
          QStringLiteral("70")});
    measure(box::Values{5230, 600, 4321, -12});
    QCOMPARE(Form1Access::display(*m_form).at(4), QStringLiteral("6.5"));
    QVERIFY(field(QStringLiteral("Phase angle z"))->text().contains(QStringLiteral("P5 to P95")));
    const std::optional<double> &angle = m_window->findChild<PhaseAngleBar *>()->angle();
    QVERIFY(angle);
    QVERIFY2(*angle > 6.53 && *angle < 6.55, qPrintable(QString::number(*angle)));
}

void TestAnalysisWindow::startAndClearLeaveNothingStale_data()
{
    QTest::addColumn<bool>("clear");
    QTest::newRow("Clear") << true;
    // Start empties the buffer before it sends the command.
    QTest::newRow("Start") << false;
}

void TestAnalysisWindow::startAndClearLeaveNothingStale()
{
    QFETCH(bool, clear);
    type({QStringLiteral("Male"), QStringLiteral("40"), QStringLiteral("175"),
          QStringLiteral("70")});
    measure(manAt500);
    QVERIFY(reportAction()->isEnabled());
    QVERIFY(m_window->analysis());
    if (clear)
        Form1Access::clear(*m_form);
    else
        Form1Access::emptyBuffer(*m_form);
    QCOMPARE(results(), QStringList(resultNames.size(), QString()));
    QVERIFY(!reportAction()->isEnabled());
    QVERIFY(!m_window->analysis());
    QVERIFY(!graph()->scene().newestShown);
    // The next measurement is this one's alone.
    measure(box::Values{5500, 500, 4321, -12});
    QCOMPARE(field(QStringLiteral("R/H"))->text(), QStringLiteral("314.3 Ω/m"));
}

// Three measurements of one person make a path in order, the newest marked;
// another person starts a new one from the measurement on display.
void TestAnalysisWindow::followUpPath()
{
    type({QStringLiteral("Male"), QStringLiteral("40"), QStringLiteral("175"),
          QStringLiteral("70")});
    const std::vector<box::Values> series{{5600, 540, 0, 0}, {5350, 575, 0, 0}, {5000, 600, 0, 0}};
    std::vector<QPointF> expected;
    for (const box::Values &values : series) {
        measure(values);
        expected.emplace_back(values.resistance / 10.0 / 1.75, values.reactance / 10.0 / 1.75);
        const std::vector<QPointF> &path = graph()->scene().path;
        QCOMPARE(path.size(), expected.size());
        for (std::size_t i = 0; i < path.size(); ++i) {
            QVERIFY(qFuzzyCompare(path[i].x(), expected[i].x()));
            QVERIFY(qFuzzyCompare(path[i].y(), expected[i].y()));
        }
        QVERIFY(graph()->scene().newestShown);
    }
    // A change of reference is the same person.
    auto *reference = named<QComboBox>(QStringLiteral("Reference"));
    reference->setFocus();
    QTest::keyClick(reference, Qt::Key_Down);
    QCOMPARE(reference->currentIndex(), 1);
    QCOMPARE(graph()->scene().path.size(), 3u);

    type({QStringLiteral("Male"), QStringLiteral("40"), QStringLiteral("180"),
          QStringLiteral("70")});
    QCOMPARE(graph()->scene().path.size(), 1u);
    QVERIFY(qFuzzyCompare(graph()->scene().path.front().x(), 500.0 / 1.8));
    QVERIFY(graph()->scene().newestShown);

    Form1Access::clear(*m_form);
    QCOMPARE(graph()->scene().path.size(), 1u);
    QVERIFY(!graph()->scene().newestShown);
}

void TestAnalysisWindow::graphGeometry_data()
{
    QTest::addColumn<QString>("sex");
    QTest::addColumn<QSize>("windowSize");
    QTest::newRow("men, window as opened") << QStringLiteral("Male") << QSize();
    QTest::newRow("women, window enlarged") << QStringLiteral("Female") << QSize(1400, 900);
}

// Walks from each ellipse's centre along its axes, as painted, to the first
// pixel in the ellipse's colour; through the widget's mapping back in data
// space, that is the core's semi-axis, to a pixel or two of the pen.
void TestAnalysisWindow::graphGeometry()
{
    QFETCH(QString, sex);
    QFETCH(QSize, windowSize);
    type({sex, QString(), QString(), QString()});
    if (windowSize.isValid()) {
        const QSize before = graph()->size();
        m_window->resize(windowSize);
        QTRY_VERIFY(graph()->width() > before.width() && graph()->height() > before.height());
    }
    const QImage image = graph()->grab().toImage();
    const qreal ratio = image.devicePixelRatio();
    const QTransform toPixel = graph()->mapping();
    const analysis::BivaReference reference =
        *analysis::builtInReference(analysis::defaultReferenceName());
    const auto ellipses = analysis::toleranceEllipses(reference.group(*analysis::sexFromText(sex)));
    QCOMPARE(graph()->scene().ellipses->at(2).semiMajor, ellipses[2].semiMajor);

    for (std::size_t i = 0; i < ellipses.size(); ++i) {
        const analysis::Ellipse &e = ellipses[i];
        const QColor colour = bivaplot::ellipseColour(i);
        const double angle = e.angleDegrees * M_PI / 180.0;
        const QPointF major(std::cos(angle), std::sin(angle));
        const QPointF minor(-std::sin(angle), std::cos(angle));
        const QPointF centre(e.centreRh, e.centreXch);
        for (const auto &[direction, semiAxis] :
             {std::pair{major, e.semiMajor}, std::pair{-major, e.semiMajor},
              std::pair{minor, e.semiMinor}, std::pair{-minor, e.semiMinor}}) {
            std::optional<double> hit;
            for (double t = 0; t < semiAxis * 1.5 && !hit; t += semiAxis / 2000.0) {
                const QPoint at = (toPixel.map(centre + direction * t) * ratio).toPoint();
                if (!image.rect().contains(at))
                    break;
                const QColor seen = image.pixelColor(at);
                if (std::abs(seen.red() - colour.red()) < 50 &&
                    std::abs(seen.green() - colour.green()) < 50 &&
                    std::abs(seen.blue() - colour.blue()) < 50)
                    hit = t;
            }
            QVERIFY2(hit, qPrintable(QStringLiteral("ellipse %1 not found").arg(i)));
            const double painted = QLineF(toPixel.map(centre + direction * *hit),
                                          toPixel.map(centre + direction * semiAxis))
                                       .length();
            QVERIFY2(painted <= 2.5,
                     qPrintable(QStringLiteral("ellipse %1: %2 px off").arg(i).arg(painted)));
        }
    }
}

void TestAnalysisWindow::referenceFromFile_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("reason");
    const QByteArray group = R"({"n": 100, "r_h_mean": 300, "r_h_sd": 40, "xc_h_mean": 32,
                                 "xc_h_sd": 7, "r": 0.5})";
    QTest::newRow("a lab's reference")
        << QByteArray(R"({"name": "ourlab", "citation": "Our lab 2026", "male": )" + group +
                      R"(, "female": )" + group + "}")
        << QString();
    QTest::newRow("not JSON") << QByteArray("name = ourlab")
                              << QStringLiteral("Die Datei ist kein JSON: ");
    QTest::newRow("a group missing")
        << QByteArray(R"({"name": "ourlab", "citation": "", "male": )" + group + "}")
        << QStringLiteral("„female“ fehlt.");
    QTest::newRow("correlation of 1")
        << QByteArray(R"({"name": "ourlab", "citation": "", "male": )" +
                      QByteArray(group).replace("0.5", "1") + R"(, "female": )" + group + "}")
        << QStringLiteral("„male.r“ muss zwischen -1 und 1 liegen, beide ausgeschlossen.");
}

// "From file…" loads a lab's reference and chooses it; a bad file is said
// in German with its fault, and the reference chosen before stays.
void TestAnalysisWindow::referenceFromFile()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, reason);
    const QString path = m_dir.filePath(QStringLiteral("reference.json"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(json);
    file.close();
    measure(manAt500);
    type({QStringLiteral("Male"), QStringLiteral("40"), QStringLiteral("175"),
          QStringLiteral("70")});
    auto *reference = named<QComboBox>(QStringLiteral("Reference"));
    const QString before = reference->currentText();
    const QString bivaBefore = field(QStringLiteral("BIVA"))->text();

    const FileDialogAnswerer dialog(path);
    const MessageBoxAnswerer boxes;
    reference->setFocus();
    QTest::keyClick(reference, Qt::Key_End);
    QCOMPARE(dialog.suggested().size(), 1);
    if (reason.isEmpty()) {
        QCOMPARE(boxes.shown().size(), 0);
        QCOMPARE(reference->currentText(), QStringLiteral("Our lab 2026"));
        QCOMPARE(graph()->scene().legend, QStringLiteral("ourlab, men"));
        QVERIFY(field(QStringLiteral("BIVA"))->text() != bivaBefore);
        return;
    }
    QCOMPARE(boxes.shown().size(), 1);
    const QStringList lines = boxes.shown().first().text.split(u'\n');
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines.at(0), QStringLiteral("Die Referenz konnte nicht geladen werden!"));
    QCOMPARE(lines.at(2), QDir::toNativeSeparators(path) + u':');
    QVERIFY2(lines.at(3).startsWith(reason), qPrintable(lines.at(3)));
    QCOMPARE(reference->currentText(), before);
    QCOMPARE(field(QStringLiteral("BIVA"))->text(), bivaBefore);
}

void TestAnalysisWindow::reportText_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QStringList>("values");
    QTest::newRow("en_US") << english
                           << QStringList{"500 Ω",     "60 Ω",     "6.8°",        "22.9 kg/m²",
                                          "285.7 Ω/m", "34.3 Ω/m", "inside 50 %", "-1.08",
                                          "55.8 kg",   "14.2 kg",  "20.3 %",      "41.4 L",
                                          "175 cm",    "70 kg"};
    QTest::newRow("de_DE") << german
                           << QStringList{"500 Ω",     "60 Ω",     "6,8°",        "22,9 kg/m²",
                                          "285,7 Ω/m", "34,3 Ω/m", "inside 50 %", "-1,08",
                                          "55,8 kg",   "14,2 kg",  "20,3 %",      "41,4 L",
                                          "175 cm",    "70 kg"};
}

// One A4 page whose text a PDF-to-text tool reads back: the measurement,
// the person, every value, the papers and the caveat.
void TestAnalysisWindow::reportText()
{
    QFETCH(QLocale, locale);
    QFETCH(QStringList, values);
    QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty(),
             "pdftotext from poppler-utils; ./build.sh installs it");
    QLocale::setDefault(locale);
    init();
    type({QStringLiteral("Male"), QStringLiteral("40"), QStringLiteral("175"),
          QStringLiteral("70")});
    measure(manAt500);
    const QString path = m_dir.filePath(QStringLiteral("report.pdf"));
    saveReport(path);

    QProcess info;
    info.start(QStringLiteral("pdfinfo"), {path});
    QVERIFY(info.waitForFinished(20000));
    const QString pages = QString::fromUtf8(info.readAllStandardOutput());
    QVERIFY2(pages.contains(QRegularExpression(QStringLiteral("Pages:\\s+1\\n"))),
             qPrintable(pages));
    QVERIFY2(pages.contains(QStringLiteral("(A4)")), qPrintable(pages));

    const QString text = pdfToText(path).simplified();
    QVERIFY2(!text.isEmpty(), "no text in the PDF");
    const QString when = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd"));
    for (const QString &expected :
         values + QStringList{when, QStringLiteral("on port 1"), QStringLiteral("Male"),
                              QStringLiteral("40 years"), QStringLiteral("men 40–49"),
                              QStringLiteral("Piccoli A"), QStringLiteral("Am J Clin Nutr 1995"),
                              QStringLiteral("Barbosa-Silva MCG"), QStringLiteral("Kyle UG"),
                              QStringLiteral("Nutrition 2001"), QStringLiteral("Sun SS"),
                              QStringLiteral("Am J Clin Nutr 2003"),
                              QStringLiteral("estimates from population equations, not a "
                                             "diagnosis")})
        QVERIFY2(text.contains(expected),
                 qPrintable(expected + QStringLiteral(" not in: ") + text));
}

void TestAnalysisWindow::exportGraphAsPng_data()
{
    QTest::addColumn<QString>("folder");
    QTest::newRow("written") << QString();
    QTest::newRow("folder not writable") << QStringLiteral("/proc");
}

// The graph's context menu exports it as the report and the screen draw it.
void TestAnalysisWindow::exportGraphAsPng()
{
    QFETCH(QString, folder);
    if (folder.isEmpty())
        folder = m_dir.path();
    type({QStringLiteral("Male"), QStringLiteral("40"), QStringLiteral("175"),
          QStringLiteral("70")});
    measure(manAt500);
    const QString path = QDir(folder).filePath(QStringLiteral("graph.png"));
    const FileDialogAnswerer dialog(path);
    const MessageBoxAnswerer boxes;
    graph()->setFocus();
    const QPoint at = graph()->rect().center();
    QContextMenuEvent event(QContextMenuEvent::Keyboard, at, graph()->mapToGlobal(at));
    QApplication::sendEvent(graph(), &event);
    auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
    QVERIFY(menu);
    QAction *exportPng = menu->findChild<QAction *>(QStringLiteral("actExportGraph"));
    QVERIFY(exportPng);
    QCOMPARE(exportPng->text(), QStringLiteral("&Export graph as PNG…"));
    menu->close();
    exportPng->trigger();
    QCOMPARE(dialog.suggested().size(), 1);
    if (folder != m_dir.path()) {
        QCOMPARE(boxes.shown().size(), 1);
        const QStringList lines = boxes.shown().first().text.split(u'\n');
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines.at(0), QStringLiteral("Die Grafik konnte nicht gespeichert werden!"));
        QCOMPARE(lines.at(2), QDir::toNativeSeparators(path) + u':');
        QVERIFY(!QFileInfo::exists(path));
        return;
    }
    QCOMPARE(boxes.shown().size(), 0);
    const QImage picture(path);
    QCOMPARE(picture.size(), QSize(1600, 1200));
    // The ellipses and the measurement are in it.
    int outer = 0;
    int point = 0;
    for (int y = 0; y < picture.height(); y += 2) {
        for (int x = 0; x < picture.width(); x += 2) {
            const QRgb pixel = picture.pixel(x, y);
            outer += pixel == bivaplot::ellipseColour(2).rgb();
            point += pixel == QColor(0, 70, 200).rgb();
        }
    }
    QVERIFY2(outer > 100, qPrintable(QString::number(outer)));
    QVERIFY2(point > 20, qPrintable(QString::number(point)));
}

void TestAnalysisWindow::failedReportSaysWhyAndLeavesNoFile_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("limited");
    // Nothing may be created there, root included.
    QTest::newRow("folder not writable") << QStringLiteral("/proc") << false;
    // The report breaks off part-way, as on a full disk.
    QTest::newRow("file size limit reached") << QString() << true;
}

// A report that cannot be written says why in German, and leaves no file,
// whole or partial, behind.
void TestAnalysisWindow::failedReportSaysWhyAndLeavesNoFile()
{
    QFETCH(QString, folder);
    QFETCH(bool, limited);
    if (folder.isEmpty())
        folder = m_dir.path();
    measure(manAt500);
    const QString path = QDir(folder).filePath(QStringLiteral("report.pdf"));
    const MessageBoxAnswerer boxes;
    {
        const FileSizeLimit limit(limited ? 4096 : RLIM_INFINITY);
        saveReport(path);
    }
    QCOMPARE(boxes.shown().size(), 1);
    const MessageBoxAnswerer::Shown &shown = boxes.shown().first();
    QCOMPARE(shown.icon, QMessageBox::Critical);
    const QStringList lines = shown.text.split(u'\n');
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines.at(0), QStringLiteral("Der Bericht konnte nicht gespeichert werden!"));
    QCOMPARE(lines.at(2), QDir::toNativeSeparators(path) + u':');
    QVERIFY2(!lines.at(3).isEmpty(), "the system's reason");
    QVERIFY(!QFileInfo::exists(path));
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList());
}

QTEST_MAIN(TestAnalysisWindow)
#include "tst_analysiswindow.moc"
