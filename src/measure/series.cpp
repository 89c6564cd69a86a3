#include "measure/series.h"

#include "common/failure.h"
#include "measure/exitstatus.h"
#include "serial/commcontrol.h"

#include <QFileInfo>
#include <QTextStream>

#include <cmath>
#include <unistd.h>

namespace {

void message(const QString &text)
{
    QTextStream(stderr) << "velumet-measure: " << text << Qt::endl;
}

qint64 milliseconds(double seconds)
{
    return std::llround(seconds * 1000.0);
}

// How to get past "permission denied" on a serial device: its group, which
// the user is not in yet.
QString permissionHint(const QString &device)
{
    const QFileInfo info(device);
    const uint group = info.groupId();
    if (group == uint(-2) || ::getegid() == group)
        return QString();
    QList<gid_t> groups(qMax(0, ::getgroups(0, nullptr)));
    groups.resize(qMax(0, ::getgroups(int(groups.size()), groups.data())));
    if (groups.contains(group))
        return QString();
    const QString name = info.group();
    return QStringLiteral("\n  %1 belongs to the group '%2'. To use it, join that group:\n"
                          "    sudo usermod -aG %2 \"$USER\"\n"
                          "  then log out and in again.")
        .arg(device, name);
}

} // namespace

Series::Series(const Options &options, RecordSink &sink, QObject *parent)
    : QObject(parent), m_options(options), m_sink(sink)
{
    m_timeout.setSingleShot(true);
    m_timeout.setTimerType(Qt::PreciseTimer);
    m_nextStart.setSingleShot(true);
    m_nextStart.setTimerType(Qt::PreciseTimer);
    connect(&m_timeout, &QTimer::timeout, this, [this] {
        fail(QStringLiteral("no answer within %1 s").arg(m_options.timeoutSeconds));
    });
    connect(&m_nextStart, &QTimer::timeout, this, &Series::measure);
    connect(&m_conversation, &Conversation::bufferChanged, this, &Series::onBufferChanged);
    connect(&m_conversation, &Conversation::dataLost, this,
            [this] { fail(QStringLiteral("data lost")); });
    connect(&m_conversation, &Conversation::lineLost, this,
            [this] { fail(QStringLiteral("line lost")); });
}

bool Series::begin()
{
    const QString port = QString::number(m_options.port);
    try {
        m_conversation.start(port);
    } catch (const Failure &failure) {
        const CommControl &comm = m_conversation.comm();
        if (failure.number() != 8002 || comm.device().isEmpty()) {
            message(QStringLiteral("cannot open port %1: %2").arg(port, failure.description()));
            return false;
        }
        QString text = QStringLiteral("cannot open port %1 (%2): %3")
                           .arg(port, comm.device(), comm.openError());
        if (comm.openPermissionDenied())
            text += permissionHint(comm.device());
        message(text);
        return false;
    }
    m_clock.start();
    m_started = 1;
    m_measuring = true;
    m_timeout.start(milliseconds(m_options.timeoutSeconds));
    return true;
}

int Series::status() const
{
    return m_failed > 0 || m_sinkBroken ? exitstatus::measurementFailed : exitstatus::ok;
}

void Series::measure()
{
    ++m_started;
    m_measuring = true;
    m_timeout.start(milliseconds(m_options.timeoutSeconds));
    try {
        if (m_conversation.isOpen())
            m_conversation.startAgain();
        else
            m_conversation.start(QString::number(m_options.port));
    } catch (const Failure &failure) {
        const CommControl &comm = m_conversation.comm();
        fail(QStringLiteral("cannot open port: ") +
             (comm.openError().isEmpty() ? failure.description() : comm.openError()));
    }
}

void Series::onBufferChanged()
{
    const std::optional<Measurement> &measurement = m_conversation.measurement();
    if (!m_measuring || !measurement)
        return;
    if (measurement->failure) {
        fail(recordformat::badFrame(*measurement->failure), measurement);
        return;
    }
    finishMeasurement(
        recordformat::fromMeasurement(QDateTime::currentDateTime(), m_options.port, *measurement));
}

void Series::fail(const QString &error, std::optional<Measurement> measurement)
{
    if (!m_measuring)
        return;
    message(QStringLiteral("port %1: %2").arg(QString::number(m_options.port), error));
    ++m_failed;
    finishMeasurement(
        {QDateTime::currentDateTime(), m_options.port, measurement.value_or(Measurement()), error});
}

void Series::finishMeasurement(Record record)
{
    m_measuring = false;
    m_timeout.stop();
    if (!m_sink.write(record)) {
        message(QStringLiteral("cannot write the record: ") + m_sink.errorString());
        m_sinkBroken = true;
        emit finished();
        return;
    }
    if (m_options.count != 0 && m_started >= m_options.count) {
        emit finished();
        return;
    }
    // Measurements keep to the interval's beat from the first one; one that
    // ran late is followed at once.
    const qint64 due = milliseconds(m_options.intervalSeconds) * m_started;
    m_nextStart.start(int(qMax<qint64>(0, due - m_clock.elapsed())));
}
