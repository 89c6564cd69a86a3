#include "behaviour.h"
#include "cputime.h"
#include "decoder/mdlDecodeEncode.h"
#include "form1access.h"
#include "frame.h"
#include "messageboxanswerer.h"
#include "simulatedbox.h"
#include "temporaryconfighome.h"

#include <QAbstractEventDispatcher>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLocale>
#include <QRandomGenerator>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <memory>

#include <malloc.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace {

const QStringList blank(5, QString());

box::Behaviour fastBox(const box::Values &values = {})
{
    box::Behaviour behaviour;
    behaviour.fast = true;
    behaviour.values = values;
    return behaviour;
}

QByteArray frameFor(const box::Values &values)
{
    return box::answer(fastBox(values), mdlDecodeEncode::decodingKey());
}

// What the window shows when it receives these bytes directly, fresh, with no
// line and no earlier measurement in between.
QStringList displayFor(const QByteArray &bytes)
{
    Form1 form;
    Form1Access::receive(form, QString::fromLatin1(bytes));
    return Form1Access::display(form);
}

// Runs the event loop until condition holds, sleeping until each next event
// rather than polling, so that thousands of round trips over the line cost
// only their own time. False when timeoutMs pass first.
template <typename Condition> bool waitFor(Condition condition, int timeoutMs = 5000)
{
    const QDeadlineTimer deadline(timeoutMs);
    QTimer wake;
    wake.setSingleShot(true);
    wake.start(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}

int openDescriptors()
{
    const std::filesystem::directory_iterator fds("/proc/self/fd");
    return static_cast<int>(std::distance(begin(fds), end(fds)));
}

// Bytes the allocator has handed out and not yet got back. Under
// AddressSanitizer freed memory sits in quarantine and the resident size says
// nothing, but the sanitizer keeps its own count.
qint64 heapInUse()
{
#if defined(__SANITIZE_ADDRESS__)
    return static_cast<qint64>(__sanitizer_get_current_allocated_bytes());
#else
    const struct mallinfo2 info = mallinfo2();
    return static_cast<qint64>(info.uordblks + info.hblkhd);
#endif
}

qint64 residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.value(1).toLongLong() * sysconf(_SC_PAGESIZE);
}

constexpr bool underSanitizer =
#if defined(__SANITIZE_ADDRESS__)
    true;
#else
    false;
#endif

// The event loop's wake-ups while it has nothing to do for idleMs: a
// descriptor that stays readable shows up as thousands, however loaded the
// machine is.
int wakeUpsWhileIdle(int idleMs)
{
    int wakeUps = 0;
    QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance();
    QEventLoop loop;
    const QMetaObject::Connection counting =
        QObject::connect(dispatcher, &QAbstractEventDispatcher::awake, &loop, [&] { ++wakeUps; });
    QTimer::singleShot(idleMs, &loop, &QEventLoop::quit);
    loop.exec();
    QObject::disconnect(counting);
    return wakeUps;
}

} // namespace

// Long runs and hostile lines against the simulated box over real
// pseudo-terminals: what a day at a measuring station does to the program.
class TestSoak : public QObject
{
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void startAndClearLeaveNothingBehind();
    void garbageAfterAFrameKeepsMemoryAndValues();
    void hangUpAndReturn();
    void garbledAnswerAfterAGoodOne_data();
    void garbledAnswerAfterAGoodOne();

private:
    TemporaryConfigHome m_configHome;
};

void TestSoak::startAndClearLeaveNothingBehind()
{
    box::SimulatedBox device(fastBox());
    const QStringList measured = displayFor(frameFor({}));
    const QString port = QString::number(device.port());
    Form1 form;
    const MessageBoxAnswerer answerer;
    CommControl &comm = Form1Access::comm(form);
    int cycles = 0;
    const auto cycle = [&] {
        Form1Access::start(form, port);
        if (!waitFor([&] { return Form1Access::display(form) == measured; }))
            return false;
        Form1Access::clear(form);
        ++cycles;
        return Form1Access::display(form) == blank && !comm.portOpen();
    };

    // The first cycles set up what lasts the whole run (Qt's caches, the
    // allocator's arenas).
    for (int i = 0; i < 10; ++i)
        QVERIFY(cycle());
    const int fdsBefore = openDescriptors();
    // The box, in this process too, keeps every command it got: that much
    // growth is its record, not the program's.
    const qint64 heapBefore = heapInUse() - device.received().capacity();
    const qint64 residentBefore = residentBytes();
    const double cpuBefore = processCpuSeconds();
    QElapsedTimer clock;
    clock.start();

    constexpr int soakCycles = 1000;
    for (int i = 0; i < soakCycles; ++i)
        QVERIFY2(cycle(), qPrintable(QStringLiteral("cycle %1").arg(cycles + 1)));

    const int fdsAfter = openDescriptors();
    const qint64 heapGrowth = heapInUse() - device.received().capacity() - heapBefore;
    const qint64 residentGrowth = residentBytes() - residentBefore;
    qInfo("%d cycles in %lld ms, %.2f s CPU; descriptors %d -> %d; heap %+lld B, resident %+lld KB",
          soakCycles, clock.elapsed(), processCpuSeconds() - cpuBefore, fdsBefore, fdsAfter,
          heapGrowth, residentGrowth / 1024);
    QCOMPARE(device.received(), QByteArray("B593817").repeated(cycles));
    QCOMPARE(fdsAfter, fdsBefore);
    // A cycle that kept even 16 bytes would add up to this; allocator and Qt
    // bookkeeping that settles after the warm-up stays far below it.
    QVERIFY2(heapGrowth < 16 * 1000, qPrintable(QString::number(heapGrowth)));
    if (!underSanitizer)
        QVERIFY2(residentGrowth < 1024 * 1024, qPrintable(QString::number(residentGrowth)));
    QVERIFY(answerer.shown().isEmpty());
}

void TestSoak::garbageAfterAFrameKeepsMemoryAndValues()
{
    box::SimulatedBox device(fastBox());
    const QByteArray frame = frameFor({});
    const QStringList measured = displayFor(frame);
    Form1 form;
    const MessageBoxAnswerer answerer;
    Form1Access::start(form, QString::number(device.port()));
    QVERIFY(waitFor([&] { return Form1Access::buffer(form).length() == frame.size(); }));
    QCOMPARE(Form1Access::display(form), measured);

    // Every byte value, markers and a whole later frame with other values
    // among them: none of it may replace what the first frame showed.
    QByteArray garbage(64 * 1024, Qt::Uninitialized);
    QRandomGenerator random(20240605);
    random.fillRange(reinterpret_cast<quint32 *>(garbage.data()), garbage.size() / 4);
    garbage.replace(1000, 2, ">>");
    const QByteArray other = frameFor({4800, -24, 4000, 3900});
    garbage.replace(30000, other.size(), other);

    const qint64 heapBefore = heapInUse();
    const qint64 residentBefore = residentBytes();
    const double cpuBefore = processCpuSeconds();
    QElapsedTimer clock;
    clock.start();
    // Slices well below the serial layer's receive queue, each waited for, so
    // that nothing is lost on the way and every byte reaches the window.
    constexpr qint64 total = 10 * 1024 * 1024;
    constexpr int slice = 1024;
    qint64 sent = 0;
    while (sent < total) {
        device.send(garbage.mid(sent % garbage.size(), slice));
        sent += slice;
        QVERIFY2(waitFor([&] { return Form1Access::buffer(form).length() == frame.size() + sent; }),
                 qPrintable(QStringLiteral("after %1 bytes").arg(sent)));
        if (Form1Access::display(form) != measured)
            QFAIL(qPrintable(QStringLiteral("values changed after %1 bytes").arg(sent)));
    }
    const qint64 heapGrowth = heapInUse() - heapBefore;
    const qint64 residentGrowth = residentBytes() - residentBefore;
    qInfo("%lld bytes in %lld ms, %.2f s CPU; heap %+lld B, resident %+lld KB", total,
          clock.elapsed(), processCpuSeconds() - cpuBefore, heapGrowth, residentGrowth / 1024);

    QCOMPARE(Form1Access::display(form), measured);
    QCOMPARE(Form1Access::buffer(form).head(), QString::fromLatin1(frame.left(62)));
    QVERIFY(Form1Access::comm(form).portOpen());
    QVERIFY(answerer.shown().isEmpty());
    // Keeping what streamed would take 20 MB as text.
    QVERIFY2(heapGrowth < 256 * 1024, qPrintable(QString::number(heapGrowth)));
    if (!underSanitizer)
        QVERIFY2(residentGrowth < 2 * 1024 * 1024, qPrintable(QString::number(residentGrowth)));
}

void TestSoak::hangUpAndReturn()
{
    int port = 0;
    Form1 form;
    const MessageBoxAnswerer answerer;
    const double cpuBefore = processCpuSeconds();
    QElapsedTimer clock;
    clock.start();
    int mostWakeUps = 0;

    constexpr int rounds = 100;
    for (int round = 0; round < rounds; ++round) {
        const QString where = QStringLiteral("round %1").arg(round);
        // The line dies at every point of the answer in turn, from before
        // its first byte to just after its last.
        const box::Values hungValues{qint16(5000 + round), 300, 4100, 20};
        box::Behaviour hangsUp = fastBox(hungValues);
        const qsizetype frameSize = frameFor(hungValues).size();
        hangsUp.fault = box::Fault::HangUp;
        hangsUp.hangUpAfter = round % (frameSize + 1);
        auto device = std::make_unique<box::SimulatedBox>(hangsUp, port);
        port = device->port();

        Form1Access::start(form, QString::number(port));
        QVERIFY2(waitFor([&] { return device->isHungUp() && !Form1Access::comm(form).portOpen(); }),
                 qPrintable(where));
        // Whatever part of the answer got through is shown as that answer
        // alone would show it: values only once the whole frame arrived.
        const QStringList shown = Form1Access::display(form);
        QVERIFY2(shown == blank || shown == displayFor(frameFor(hungValues)),
                 qPrintable(where + u' ' + shown.join(u'|')));
        const int wakeUps = wakeUpsWhileIdle(50);
        mostWakeUps = qMax(mostWakeUps, wakeUps);
        QVERIFY2(wakeUps < 20, qPrintable(where + QStringLiteral(": %1 wake-ups").arg(wakeUps)));

        // The box is back on the same port: Start works at once.
        const box::Values values{qint16(4000 + round), -50, 3900, 3800};
        device = std::make_unique<box::SimulatedBox>(fastBox(values), port);
        Form1Access::start(form, QString::number(port));
        const QStringList measured = displayFor(frameFor(values));
        QVERIFY2(waitFor([&] { return Form1Access::display(form) == measured; }),
                 qPrintable(where + u' ' + Form1Access::display(form).join(u'|')));
        Form1Access::close(form);
    }
    qInfo("%d rounds in %lld ms, %.2f s CPU; at most %d wake-ups in 50 ms idle", rounds,
          clock.elapsed(), processCpuSeconds() - cpuBefore, mostWakeUps);
    QVERIFY(answerer.shown().isEmpty());
}

void TestSoak::garbledAnswerAfterAGoodOne_data()
{
    const box::Values later{4800, -24, 4000, 3900};
    const auto faulty = [&later](box::Fault fault) {
        box::Behaviour behaviour = fastBox(later);
        behaviour.fault = fault;
        return box::answer(behaviour, mdlDecodeEncode::decodingKey());
    };
    const QByteArray whole = frameFor(later);
    const QString record = box::valueRecord(later);
    QByteArray belowShift = whole;
    belowShift[40] = '\x01';

    QTest::addColumn<QByteArray>("answer");
    QTest::newRow("silent") << QByteArray();
    QTest::newRow("cut short") << whole.left(50);
    QTest::newRow("frame without trailer") << whole.left(62);
    QTest::newRow("no marker") << faulty(box::Fault::NoMarker);
    QTest::newRow("garbage first") << faulty(box::Fault::GarbageFirst);
    QTest::newRow("first value not a number") << faulty(box::Fault::BadValue);
    QTest::newRow("third value not a number") << box::measurementFrame(
        QString(record).replace(19, 6, QStringLiteral("4x00  ")), mdlDecodeEncode::decodingKey());
    QTest::newRow("zero resistance") << faulty(box::Fault::ZeroResistance);
    QTest::newRow("character below its shift") << belowShift;
    QTest::newRow("noise") << QByteArray("x7#q!kz0%w ").repeated(30);
}

void TestSoak::garbledAnswerAfterAGoodOne()
{
    QFETCH(QByteArray, answer);
    const QByteArray good = frameFor({});
    box::SimulatedBox goodBox(fastBox());
    box::Behaviour silent;
    silent.fault = box::Fault::Silent;
    box::SimulatedBox badBox(silent);
    connect(&badBox, &box::SimulatedBox::commandReceived, &badBox,
            [&badBox, &answer] { badBox.send(answer); });
    Form1 form;
    const MessageBoxAnswerer answerer;

    const QStringList measured = displayFor(good);
    Form1Access::start(form, QString::number(goodBox.port()));
    QVERIFY(waitFor([&] { return Form1Access::display(form) == measured; }));
    // The conversation ends without Clear, as when the line drops.
    Form1Access::close(form);

    Form1Access::start(form, QString::number(badBox.port()));
    QVERIFY(waitFor([&] {
        return badBox.received() == "B593817" &&
               Form1Access::buffer(form).length() == answer.size();
    }));
    QCOMPARE(Form1Access::display(form), displayFor(answer));
    QVERIFY(answerer.shown().isEmpty());
}

QTEST_MAIN(TestSoak)
#include "tst_soak.moc"
