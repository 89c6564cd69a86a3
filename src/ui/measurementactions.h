#pragma once

#include "record/record.h"
#include "ui/measurementcopy.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

class QAction;
class QMenu;
class QPoint;
class QWidget;

// What the user can do with the measurement on display: copy it to the
// clipboard, or append it to a journal file as velumet-measure writes its
// records. The actions are enabled only while a measurement is on display.
class MeasurementActions : public QObject
{
    Q_OBJECT

public:
    // window: where the actions' shortcuts work and their dialogs belong.
    MeasurementActions(QWidget *window, measurementcopy::Rows rows);

    // The display shows this measurement from now on / shows none.
    void show(const Record &record);
    void clear();
    bool showsMeasurement() const { return m_shown.has_value(); }
    // What the measurement on display means for the subject set, or nothing
    // while no subject is: copies and saves carry it from now on.
    void setAnalysis(const std::optional<analysis::Analysis> &analysis);

    QList<QAction *> actions() const;

    // Adds the actions to the end of menu, then more after a separator, and
    // pops it up at a global position; the menu deletes itself once closed.
    void popUp(QMenu *menu, const QPoint &at, const QList<QAction *> &more = {}) const;

private:
    void copy();
    void save();
    void saveAs();
    void saveTo(const QString &path);
    QString chooseFile() const;
    void enable(bool enabled);

    QWidget *m_window;
    measurementcopy::Rows m_rows;
    QAction *m_copy;
    QAction *m_save;
    QAction *m_saveAs;
    std::optional<Record> m_shown;
    // Where Save goes without asking: the last file a save succeeded in.
    QString m_journal;
    // The files the measurement on display went into already.
    QStringList m_savedTo;
};
