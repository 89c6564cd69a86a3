#include "behaviour.h"
#include "decoder/mdlDecodeEncode.h"
#include "frame.h"
#include "pacing.h"
#include "simulatedbox.h"
#include "temporaryconfighome.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSocketNotifier>
#include <QTest>

#include <utility>

#include <cerrno>
#include <fcntl.h>
#include <limits>
#include <unistd.h>

namespace {

constexpr qint64 endless = std::numeric_limits<qint64>::max();
const QByteArray startCommand = QByteArrayLiteral("B123456");
// The program's own start command, so that its decoder reads the answers.
const QByteArray programCommand = "B" + mdlDecodeEncode::decodingKey().toLatin1();
constexpr qsizetype frameSize = 69;

// A numbered box with the default values, misbehaving in time.
box::Behaviour numberedWith(box::Fault fault, int delayMs)
{
    box::Behaviour behaviour;
    behaviour.fault = fault;
    behaviour.delayMs = delayMs;
    behaviour.numbered = true;
    return behaviour;
}

// The answers of a numbered box with the default values, one after another.
QByteArray numberedFrames(std::initializer_list<qint16> numbers)
{
    QByteArray frames;
    for (const qint16 number : numbers) {
        box::Values values;
        values.rFoot = number;
        frames += box::measurementFrame(box::valueRecord(values), mdlDecodeEncode::decodingKey());
    }
    return frames;
}

// Nanoseconds in which the line carries that many bytes, rounded up.
constexpr qint64 byteTimes(double bytes)
{
    return static_cast<qint64>(bytes * 1'000'000'000.0 / 960.0 + 0.999);
}

// The program's end of the box's line, read as the bytes come.
class LineReader
{
public:
    explicit LineReader(const QString &device)
        : m_descriptor(::open(QFile::encodeName(device).constData(),
                              O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)),
          m_notifier(m_descriptor, QSocketNotifier::Read)
    {
        m_clock.start();
        QObject::connect(&m_notifier, &QSocketNotifier::activated, &m_notifier,
                         [this] { onReadable(); });
    }
    ~LineReader() { ::close(m_descriptor); }
    LineReader(const LineReader &) = delete;
    LineReader &operator=(const LineReader &) = delete;

    bool isOpen() const { return m_descriptor >= 0; }
    bool send(const QByteArray &bytes)
    {
        return ::write(m_descriptor, bytes.constData(), bytes.size()) == bytes.size();
    }
    const QByteArray &received() const { return m_received; }
    bool lineIsDead() const { return m_dead; }
    // Milliseconds since the reader opened the line.
    qint64 now() const { return m_clock.elapsed(); }
    // When the reader had that many bytes; -1 while it has fewer.
    qint64 timeOfByte(qsizetype count) const
    {
        for (const auto &[size, time] : m_arrivals) {
            if (size >= count)
                return time;
        }
        return -1;
    }

private:
    void onReadable()
    {
        char bytes[256];
        ssize_t count = 0;
        while ((count = ::read(m_descriptor, bytes, sizeof bytes)) > 0) {
            m_received.append(bytes, count);
            m_arrivals.append({m_received.size(), now()});
        }
        if (count == 0 || (errno != EAGAIN && errno != EINTR)) {
            m_dead = true;
            m_notifier.setEnabled(false);
        }
    }

    int m_descriptor = -1;
    QSocketNotifier m_notifier;
    QByteArray m_received;
    QElapsedTimer m_clock;
    QList<std::pair<qsizetype, qint64>> m_arrivals;
    bool m_dead = false;
};

} // namespace

// The simulated box's line: its pace, and what a reader gets before it dies.
class TestBoxLine : public QObject
{
    Q_OBJECT

private slots:
    void bytesDueAfterElapsedTime_data();
    void bytesDueAfterElapsedTime();
    void nextChunkFallsDue_data();
    void nextChunkFallsDue();
    void pacedAnswerArrivesWholeAndInOrder_data();
    void pacedAnswerArrivesWholeAndInOrder();
    void readerGetsEveryByteBeforeTheHangUp_data();
    void readerGetsEveryByteBeforeTheHangUp();
    void answersCarryTheirNumber();
    void answerNumbersGoRound_data();
    void answerNumbersGoRound();
    void lateFirstAnswerKeepsItsPlace();
    void delayedLastByteLandsBeforeTheNextAnswer();
    void pauseIgnoresStartCommandsThenAnswersAgain();

private:
    TemporaryConfigHome m_configHome;
};

void TestBoxLine::bytesDueAfterElapsedTime_data()
{
    QTest::addColumn<qint64>("elapsedNs");
    QTest::addColumn<int>("chunk");
    QTest::addColumn<qint64>("answerSize");
    QTest::addColumn<qint64>("due");
    QTest::newRow("nothing at the start") << qint64(0) << 1 << qint64(69) << qint64(0);
    QTest::newRow("a byte not quite carried") << byteTimes(1) - 1 << 1 << qint64(69) << qint64(0);
    QTest::newRow("a byte after its ten bit times") << byteTimes(1) << 1 << qint64(69) << qint64(1);
    QTest::newRow("one-byte chunks keep line speed")
        << byteTimes(68) << 1 << qint64(69) << qint64(68);
    QTest::newRow("a chunk waits for its last byte")
        << byteTimes(15.9) << 8 << qint64(69) << qint64(8);
    QTest::newRow("a chunk goes with its last byte")
        << byteTimes(16) << 8 << qint64(69) << qint64(16);
    QTest::newRow("short last chunk waits for the answer's end")
        << byteTimes(68.9) << 8 << qint64(69) << qint64(64);
    QTest::newRow("short last chunk at the answer's end")
        << byteTimes(69) << 8 << qint64(69) << qint64(69);
    QTest::newRow("never more than the answer")
        << qint64(10'000'000'000) << 8 << qint64(69) << qint64(69);
    QTest::newRow("chunk beyond the answer: all at its end")
        << byteTimes(69) << 4096 << qint64(69) << qint64(69);
    QTest::newRow("endless answer, a second in")
        << qint64(1'000'000'000) << 8 << endless << qint64(960);
    QTest::newRow("endless answer, 200 days in")
        << qint64(200) * 86400 * 1'000'000'000 << 8 << endless << qint64(200) * 86400 * 960;
}

void TestBoxLine::bytesDueAfterElapsedTime()
{
    QFETCH(qint64, elapsedNs);
    QFETCH(int, chunk);
    QFETCH(qint64, answerSize);
    QFETCH(qint64, due);
    QCOMPARE(box::pacing::bytesDue(elapsedNs, chunk, answerSize), due);
}

void TestBoxLine::nextChunkFallsDue_data()
{
    QTest::addColumn<qint64>("handedOver");
    QTest::addColumn<int>("chunk");
    QTest::addColumn<qint64>("answerSize");
    QTest::addColumn<qint64>("dueNs");
    QTest::newRow("first byte") << qint64(0) << 1 << qint64(69) << byteTimes(1);
    QTest::newRow("first chunk") << qint64(0) << 8 << qint64(69) << byteTimes(8);
    QTest::newRow("a later chunk") << qint64(40) << 8 << qint64(69) << byteTimes(48);
    QTest::newRow("short last chunk") << qint64(64) << 8 << qint64(69) << byteTimes(69);
    QTest::newRow("chunk beyond the answer") << qint64(0) << 4096 << qint64(69) << byteTimes(69);
    QTest::newRow("a second of endless answer")
        << qint64(952) << 8 << endless << qint64(1'000'000'000);
}

void TestBoxLine::nextChunkFallsDue()
{
    QFETCH(qint64, handedOver);
    QFETCH(int, chunk);
    QFETCH(qint64, answerSize);
    QFETCH(qint64, dueNs);
    const qint64 due = box::pacing::nextChunkDueNs(handedOver, chunk, answerSize);
    QCOMPARE(due, dueNs);
    // Due exactly then: a nanosecond earlier it is not.
    QVERIFY(box::pacing::bytesDue(due, chunk, answerSize) > handedOver);
    QCOMPARE(box::pacing::bytesDue(due - 1, chunk, answerSize), handedOver);
}

void TestBoxLine::pacedAnswerArrivesWholeAndInOrder_data()
{
    QTest::addColumn<int>("chunk");
    QTest::newRow("one byte at a time") << 1;
    QTest::newRow("chunks of 8") << 8;
    QTest::newRow("chunks of 7, a short one last") << 7;
    QTest::newRow("the largest chunk") << box::Behaviour::maxChunk;
    QTest::newRow("a chunk no timer can wait for") << std::numeric_limits<int>::max();
}

void TestBoxLine::pacedAnswerArrivesWholeAndInOrder()
{
    QFETCH(int, chunk);
    box::Behaviour paced;
    paced.chunk = chunk;
    const box::SimulatedBox device(paced);
    LineReader reader(device.devicePath());
    QVERIFY(reader.isOpen());
    QVERIFY(reader.send(startCommand));
    const QByteArray answer = box::answer(paced, QStringLiteral("123456"));
    QTRY_COMPARE_WITH_TIMEOUT(reader.received().size(), answer.size(), 5000);
    QCOMPARE(reader.received(), answer);
}

void TestBoxLine::readerGetsEveryByteBeforeTheHangUp_data()
{
    QTest::addColumn<bool>("fast");
    QTest::addColumn<int>("chunk");
    QTest::addColumn<int>("hangUpAfter");
    QTest::newRow("at once, dead before the first byte") << true << 8 << 0;
    QTest::newRow("at once, dead mid-frame") << true << 8 << 30;
    QTest::newRow("at once, dead before the last byte") << true << 8 << 68;
    QTest::newRow("at once, dead after the whole frame") << true << 8 << 69;
    QTest::newRow("chunks of 8, dead before the last byte") << false << 8 << 68;
    QTest::newRow("chunks of 8, dead after the whole frame") << false << 8 << 69;
    QTest::newRow("one by one, dead after the whole frame") << false << 1 << 69;
}

void TestBoxLine::readerGetsEveryByteBeforeTheHangUp()
{
    QFETCH(bool, fast);
    QFETCH(int, chunk);
    QFETCH(int, hangUpAfter);
    box::Behaviour hangsUp;
    hangsUp.fast = fast;
    hangsUp.chunk = chunk;
    hangsUp.fault = box::Fault::HangUp;
    hangsUp.hangUpAfter = hangUpAfter;
    const QByteArray expected = box::answer(hangsUp, QStringLiteral("123456")).left(hangUpAfter);
    // What reaches the reader must not depend on how the two sides are
    // scheduled around the hang-up.
    for (int round = 0; round < 10; ++round) {
        box::SimulatedBox device(hangsUp);
        LineReader reader(device.devicePath());
        QVERIFY(reader.isOpen());
        QVERIFY(reader.send(startCommand));
        QTRY_VERIFY_WITH_TIMEOUT(reader.lineIsDead(), 5000);
        QVERIFY(device.isHungUp());
        QCOMPARE(reader.received(), expected);
    }
}

void TestBoxLine::answersCarryTheirNumber()
{
    box::Behaviour numbered;
    numbered.fast = true;
    numbered.numbered = true;
    const box::SimulatedBox device(numbered);
    LineReader reader(device.devicePath());
    QVERIFY(reader.isOpen());
    for (int number = 1; number <= 3; ++number) {
        QVERIFY(reader.send(programCommand));
        QTRY_COMPARE_WITH_TIMEOUT(reader.received().size(), number * frameSize, 5000);
        // Read the way the program reads it: R-Foot in its field, the rest as given.
        QString frame = QString::fromLatin1(reader.received().right(frameSize));
        const QString record =
            mdlDecodeEncode::fcEncodeString(frame, mdlDecodeEncode::decodingKey());
        QCOMPARE(record.mid(26, 6).trimmed().toInt(), number);
        QCOMPARE(record.mid(5, 6).trimmed().toInt(), numbered.values.resistance);
    }
}

void TestBoxLine::answerNumbersGoRound_data()
{
    QTest::addColumn<qint64>("answer");
    QTest::addColumn<int>("number");
    QTest::newRow("first") << qint64(1) << 1;
    QTest::newRow("last that fits") << qint64(32767) << 32767;
    QTest::newRow("round again") << qint64(32768) << 1;
    QTest::newRow("end of the second round") << qint64(65534) << 32767;
}

void TestBoxLine::answerNumbersGoRound()
{
    QFETCH(qint64, answer);
    QFETCH(int, number);
    QCOMPARE(int(box::answerNumber(answer)), number);
}

void TestBoxLine::lateFirstAnswerKeepsItsPlace()
{
    constexpr int lateMs = 1500;
    const box::SimulatedBox device(numberedWith(box::Fault::LateFirst, lateMs));
    LineReader reader(device.devicePath());
    QVERIFY(reader.isOpen());
    QVERIFY(reader.send(programCommand));
    const qint64 firstSent = reader.now();
    // The program gives up on the first answer and asks again before it comes.
    QTRY_COMPARE_WITH_TIMEOUT(device.received().size(), programCommand.size(), 5000);
    QVERIFY(reader.received().isEmpty());
    QVERIFY(reader.send(programCommand));

    QTRY_COMPARE_WITH_TIMEOUT(reader.received().size(), 2 * frameSize, 10000);
    QCOMPARE(reader.received(), numberedFrames({1, 2}));
    QVERIFY2(reader.timeOfByte(1) - firstSent >= lateMs,
             qPrintable(QString::number(reader.timeOfByte(1) - firstSent)));

    // Only the first answer is late.
    QVERIFY(reader.send(programCommand));
    const qint64 thirdSent = reader.now();
    QTRY_COMPARE_WITH_TIMEOUT(reader.received().size(), 3 * frameSize, 10000);
    QCOMPARE(reader.received(), numberedFrames({1, 2, 3}));
    QVERIFY2(reader.timeOfByte(3 * frameSize) - thirdSent < lateMs,
             qPrintable(QString::number(reader.timeOfByte(3 * frameSize) - thirdSent)));
}

void TestBoxLine::delayedLastByteLandsBeforeTheNextAnswer()
{
    constexpr int tailMs = 1000;
    const box::SimulatedBox device(numberedWith(box::Fault::TailAfter, tailMs));
    LineReader reader(device.devicePath());
    QVERIFY(reader.isOpen());
    QVERIFY(reader.send(programCommand));
    const qint64 firstSent = reader.now();
    // The program has its frame at 68 characters and starts the next measurement.
    QTRY_COMPARE_WITH_TIMEOUT(reader.received().size(), frameSize - 1, 5000);
    QVERIFY(reader.send(programCommand));
    const qint64 secondSent = reader.now();

    QTRY_COMPARE_WITH_TIMEOUT(reader.received().size(), 2 * frameSize, 10000);
    QCOMPARE(reader.received(), numberedFrames({1, 2}));
    QVERIFY2(reader.timeOfByte(frameSize) - firstSent >= tailMs,
             qPrintable(QString::number(reader.timeOfByte(frameSize) - firstSent)));
    QVERIFY2(reader.timeOfByte(2 * frameSize) - secondSent >= tailMs,
             qPrintable(QString::number(reader.timeOfByte(2 * frameSize) - secondSent)));
}

void TestBoxLine::pauseIgnoresStartCommandsThenAnswersAgain()
{
    constexpr int pauseMs = 1500;
    box::Behaviour pausing = numberedWith(box::Fault::Pause, pauseMs);
    pausing.pauseAfter = 2;
    pausing.fast = true;
    box::SimulatedBox device(pausing);
    LineReader reader(device.devicePath());
    QVERIFY(reader.isOpen());
    qint64 pauseStarted = -1;
    connect(&device, &box::SimulatedBox::commandReceived, &device,
            [&reader, &pauseStarted](const QString &, bool answered) {
                if (!answered && pauseStarted < 0)
                    pauseStarted = reader.now();
            });
    for (int answered = 1; answered <= 2; ++answered) {
        QVERIFY(reader.send(programCommand));
        QTRY_COMPARE_WITH_TIMEOUT(reader.received().size(), answered * frameSize, 5000);
    }
    QVERIFY(reader.send(programCommand));
    QTRY_VERIFY_WITH_TIMEOUT(pauseStarted >= 0, 5000);
    QTest::qWait(pauseMs / 3);
    QVERIFY(reader.send(programCommand));
    // Past the pause, with room to spare: neither command got anything, not
    // even late.
    QTest::qWait(int(pauseStarted + pauseMs + 500 - reader.now()));
    QCOMPARE(reader.received(), numberedFrames({1, 2}));

    QVERIFY(reader.send(programCommand));
    QTRY_COMPARE_WITH_TIMEOUT(reader.received(), numberedFrames({1, 2, 3}), 5000);
}

QTEST_MAIN(TestBoxLine)
#include "tst_boxline.moc"
