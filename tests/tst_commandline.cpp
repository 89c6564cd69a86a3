#include <QProcess>
#include <QTest>

// The command-line conventions every installed program keeps, checked on the
// built executables themselves: scripts and packagers see only those.
namespace {

const QString display = QStringLiteral(VELUMET_DISPLAY);
// Empty where there is no simulated box (Windows).
const QString box = QStringLiteral(VELUMET_BOX);
const QString measure = QStringLiteral(VELUMET_MEASURE);

struct Run
{
    int status = -1;
    QString out;
    QString err;
};

Run run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    // As text: Windows ends a program's lines with CR LF.
    process.start(program, arguments, QIODevice::ReadWrite | QIODevice::Text);
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    if (process.exitStatus() != QProcess::NormalExit)
        return {};
    return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

} // namespace

class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void version_data();
    void version();
    void help_data();
    void help();
    void measureHelpSaysWhatHoldsHere_data();
    void measureHelpSaysWhatHoldsHere();
    void badUsage_data();
    void badUsage();
};

void TestCommandLine::version_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("name");
    QTest::newRow("velumet-display")
        << display << QStringList{QStringLiteral("--version")} << QStringLiteral("velumet-display");
    QTest::newRow("velumet-display after Qt's own option")
        << display
        << QStringList{QStringLiteral("-platform"), QStringLiteral("offscreen"),
                       QStringLiteral("--version")}
        << QStringLiteral("velumet-display");
    QTest::newRow("velumet-display, short option")
        << display << QStringList{QStringLiteral("-v")} << QStringLiteral("velumet-display");
    if (!box.isEmpty()) {
        QTest::newRow("velumet-box")
            << box << QStringList{QStringLiteral("--version")} << QStringLiteral("velumet-box");
    }
    QTest::newRow("velumet-measure")
        << measure << QStringList{QStringLiteral("--version")} << QStringLiteral("velumet-measure");
}

// The version comes from the build system, not from the program's own copy.
void TestCommandLine::version()
{
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QFETCH(QString, name);
    const Run result = run(program, arguments);
    QCOMPARE(result.status, 0);
    QCOMPARE(result.out.section(u'\n', 0, 0),
             name + QStringLiteral(" ") + QStringLiteral(VELUMET_EXPECTED_VERSION));
    QVERIFY2(result.out.contains(QLatin1String("MIT")), qPrintable(result.out));
}

void TestCommandLine::help_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("option");
    QTest::newRow("velumet-display --help") << display << QStringLiteral("--help");
    QTest::newRow("velumet-display -h") << display << QStringLiteral("-h");
    QTest::newRow("velumet-display --help-all") << display << QStringLiteral("--help-all");
    if (!box.isEmpty())
        QTest::newRow("velumet-box --help") << box << QStringLiteral("--help");
    QTest::newRow("velumet-measure --help") << measure << QStringLiteral("--help");
}

void TestCommandLine::help()
{
    QFETCH(QString, program);
    QFETCH(QString, option);
    const Run result = run(program, {option});
    QCOMPARE(result.status, 0);
    QVERIFY2(result.out.startsWith(QLatin1String("Usage: ")), qPrintable(result.out));
    QVERIFY2(result.out.contains(QLatin1String("--version")), qPrintable(result.out));
}

void TestCommandLine::measureHelpSaysWhatHoldsHere_data()
{
    QTest::addColumn<QString>("words");
    // False: the words belong to the other system and must not appear.
    QTest::addColumn<bool>("here");
#ifdef Q_OS_WIN
    const bool windows = true;
#else
    const bool windows = false;
#endif
    QTest::newRow("ports directory")
        << QStringLiteral("~/.config/velumet-display/ports/") << !windows;
    QTest::newRow("built-in serial ports") << QStringLiteral("/dev/ttyS<N-1>") << !windows;
    QTest::newRow("SIGTERM") << QStringLiteral("SIGTERM") << !windows;
    QTest::newRow("SIGHUP") << QStringLiteral("SIGHUP") << !windows;
    QTest::newRow("nohup") << QStringLiteral("nohup") << !windows;
    QTest::newRow("status of a signal") << QStringLiteral("128+N") << !windows;
    QTest::newRow("COM ports") << QStringLiteral("Port N is COMN") << windows;
    QTest::newRow("Ctrl-Break") << QStringLiteral("Ctrl-Break") << windows;
    QTest::newRow("closing the console") << QStringLiteral("closing the console") << windows;
    QTest::newRow("logging off") << QStringLiteral("Logging off") << windows;
}

// Each system gets its own words for what differs: a Windows user reads of
// COM ports and the console, not of a Linux directory and signals.
void TestCommandLine::measureHelpSaysWhatHoldsHere()
{
    QFETCH(QString, words);
    QFETCH(bool, here);
    const Run result = run(measure, {QStringLiteral("--help")});
    QCOMPARE(result.status, 0);
    // The text's own line breaks may fall inside the words.
    const QString text = result.out.simplified();
    QVERIFY2(text.contains(words) == here, qPrintable(result.out));
}

void TestCommandLine::badUsage_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("name");
    QTest::newRow("velumet-display, unknown long option")
        << display << QStringList{QStringLiteral("--port=3")} << QStringLiteral("velumet-display");
    QTest::newRow("velumet-display, unknown short option")
        << display << QStringList{QStringLiteral("-x")} << QStringLiteral("velumet-display");
    QTest::newRow("velumet-display, stray argument")
        << display << QStringList{QStringLiteral("3")} << QStringLiteral("velumet-display");
    QTest::newRow("velumet-display, unknown option after --help")
        << display << QStringList{QStringLiteral("--help"), QStringLiteral("--bogus")}
        << QStringLiteral("velumet-display");
    if (!box.isEmpty()) {
        QTest::newRow("velumet-box, unknown long option")
            << box << QStringList{QStringLiteral("--baud=9600")} << QStringLiteral("velumet-box");
        QTest::newRow("velumet-box, unknown short option")
            << box << QStringList{QStringLiteral("-x")} << QStringLiteral("velumet-box");
    }
    QTest::newRow("velumet-measure, unknown long option")
        << measure << QStringList{QStringLiteral("--baud=9600")}
        << QStringLiteral("velumet-measure");
    QTest::newRow("velumet-measure, port not a number")
        << measure << QStringList{QStringLiteral("--port"), QStringLiteral("COM3")}
        << QStringLiteral("velumet-measure");
}

// Status 2, nothing on standard output, and on standard error one line that
// names the program followed by the hint (Qt may warn above them).
void TestCommandLine::badUsage()
{
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QFETCH(QString, name);
    const Run result = run(program, arguments);
    QCOMPARE(result.status, 2);
    QCOMPARE(result.out, QString());
    const QStringList lines = result.err.split(u'\n', Qt::SkipEmptyParts);
    QVERIFY2(lines.size() >= 2, qPrintable(result.err));
    QVERIFY2(lines.at(lines.size() - 2).startsWith(name + QStringLiteral(": ")),
             qPrintable(result.err));
    QCOMPARE(lines.last(),
             QStringLiteral("Try '") + name + QStringLiteral(" --help' for more information."));
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
