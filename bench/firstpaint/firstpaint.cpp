// A plugin that any Qt program loads when asked to through
// QT_QPA_GENERIC_PLUGINS=velumet-firstpaint: it ends the program once its
// first frame has been painted and prints the peak RSS in KiB. It lets the
// start-up of the real program be timed from outside, unchanged.

#include <QCoreApplication>
#include <QEvent>
#include <QGenericPlugin>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>

namespace {

class FirstPaint : public QObject
{
public:
    FirstPaint()
    {
        QCoreApplication::instance()->installEventFilter(this);
        connect(qApp, &QCoreApplication::aboutToQuit, this, [] {
            rusage usage{};
            getrusage(RUSAGE_SELF, &usage);
            std::printf("%ld\n", usage.ru_maxrss);
        });
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !m_painted) {
            m_painted = true;
            // Quit once this paint has reached the screen, not before it.
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool m_painted = false;
};

} // namespace

class FirstPaintPlugin : public QGenericPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "firstpaint.json")

public:
    QObject *create(const QString &, const QString &) override { return new FirstPaint; }
};

#include "firstpaint.moc"
