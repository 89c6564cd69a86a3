#include "ui/measurementactions.h"

#include "record/recordsink.h"
#include "ui/dialogstateshelter.h"
#include "ui/messagebox.h"

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QMimeData>
#include <QStandardPaths>

namespace {

QAction *action(QObject *parent, const char *name, const QString &text,
                const QKeySequence &shortcut)
{
    auto *made = new QAction(text, parent);
    made->setObjectName(QLatin1String(name));
    made->setShortcut(shortcut);
    made->setEnabled(false);
    return made;
}

// The file as it is on the disk, so that two names for one file count once;
// a file not there yet by its absolute name.
QString identity(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() ? info.canonicalFilePath() : info.absoluteFilePath();
}

} // namespace

MeasurementActions::MeasurementActions(QWidget *window, measurementcopy::Rows rows)
    : QObject(window), m_window(window), m_rows(std::move(rows)),
      m_copy(action(this, "actCopyMeasurement", QStringLiteral("Copy &measurement"),
                    QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C))),
      m_save(action(this, "actSaveMeasurement", QStringLiteral("&Save measurement…"),
                    QKeySequence(Qt::CTRL | Qt::Key_S))),
      m_saveAs(action(this, "actSaveMeasurementAs", QStringLiteral("Save measurement &as…"),
                      QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)))
{
    connect(m_copy, &QAction::triggered, this, &MeasurementActions::copy);
    connect(m_save, &QAction::triggered, this, &MeasurementActions::save);
    connect(m_saveAs, &QAction::triggered, this, &MeasurementActions::saveAs);
}

void MeasurementActions::show(const Record &record)
{
    m_shown = record;
    m_savedTo.clear();
    enable(true);
}

void MeasurementActions::setAnalysis(const std::optional<analysis::Analysis> &analysis)
{
    if (m_shown)
        m_shown->analysis = analysis;
}

void MeasurementActions::clear()
{
    m_shown.reset();
    m_savedTo.clear();
    enable(false);
}

QList<QAction *> MeasurementActions::actions() const
{
    return {m_copy, m_save, m_saveAs};
}

void MeasurementActions::popUp(QMenu *menu, const QPoint &at, const QList<QAction *> &more) const
{
    menu->addActions(actions());
    if (!more.isEmpty()) {
        menu->addSeparator();
        menu->addActions(more);
    }
    // The journal's whole path, where the item shows only its name.
    menu->setToolTipsVisible(true);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(at);
}

void MeasurementActions::enable(bool enabled)
{
    for (QAction *each : actions())
        each->setEnabled(enabled);
}

void MeasurementActions::copy()
{
    // The clipboard takes the data over.
    QGuiApplication::clipboard()->setMimeData(
        measurementcopy::mimeData(m_rows, *m_shown).release());
}

void MeasurementActions::save()
{
    if (m_journal.isEmpty())
        saveAs();
    else
        saveTo(m_journal);
}

void MeasurementActions::saveAs()
{
    const QString path = chooseFile();
    if (!path.isEmpty())
        saveTo(path);
}

void MeasurementActions::saveTo(const QString &path)
{
    // The file dialog ran an event loop: the display may show nothing now.
    if (!m_shown)
        return;
    const QString file = QFileInfo(path).absoluteFilePath();
    // Twice the same measurement in a journal reads as two measurements.
    if (m_savedTo.contains(identity(file)) &&
        !messagebox::confirm(m_window, QStringLiteral("Diese Messung wurde bereits gespeichert. "
                                                      "Noch einmal speichern?")))
        return;
    // Opened for each record, so that a journal moved or deleted meanwhile is
    // made anew rather than written through a name that is gone.
    const bool withAnalysis = m_shown->analysis.has_value();
    RecordSink sink(recordformat::Format::Csv, withAnalysis);
    if (!sink.open(file) || !sink.write(*m_shown)) {
        QString reason = sink.errorString();
        // A journal holds one kind of record; one per person is the intended use.
        if (sink.openError() == RecordSink::OpenError::ColumnsDiffer)
            reason = withAnalysis ? QStringLiteral("Das Journal hat keine Spalten für die Analyse. "
                                                   "Es bleibt unverändert; „Save measurement as…“ "
                                                   "wählt ein anderes, am besten eines je Person.")
                                  : QStringLiteral("Das Journal hat Spalten für die Analyse, diese "
                                                   "Messung hat keine: Im Analysefenster ist keine "
                                                   "Person angegeben. Es bleibt unverändert; „Save "
                                                   "measurement as…“ wählt ein anderes.");
        messagebox::tell(m_window,
                         QStringLiteral("Die Messung konnte nicht gespeichert werden!\n\n%1:\n%2")
                             .arg(QDir::toNativeSeparators(file), reason),
                         QMessageBox::Critical);
        return;
    }
    m_savedTo << identity(file);
    m_journal = file;
    QString name = QFileInfo(file).fileName();
    m_save->setText(
        QStringLiteral("&Save measurement to %1").arg(name.replace(u'&', QStringLiteral("&&"))));
    m_save->setToolTip(QDir::toNativeSeparators(file));
}

QString MeasurementActions::chooseFile() const
{
    QString suggestion = m_journal;
    if (suggestion.isEmpty()) {
        const QString documents =
            QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        suggestion = (QFileInfo(documents).isDir() ? documents : QDir::homePath()) +
                     QStringLiteral("/measurements.csv");
    }
    const DialogStateShelter shelter;
    QFileDialog dialog(m_window, QStringLiteral("Save measurement"), suggestion,
                       QStringLiteral("CSV files (*.csv);;All files (*)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    // Records are appended: an existing journal is what one picks, not a
    // file to be replaced.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}
