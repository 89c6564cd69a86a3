#pragma once

#include "analysis/analysis.h"
#include "record/record.h"

#include <QPointF>
#include <QWidget>

#include <optional>
#include <vector>

class BivaGraph;
class PhaseAngleBar;
class QAction;
class QComboBox;
class QLabel;
class QLineEdit;

// What the measurement on display means for the person measured: the
// subject typed in, the analysis values, the BIVA graph with the person's
// earlier measurements, the phase angle against its band, and the report.
// It follows the measuring window, which opens it; it keeps no settings.
class AnalysisWindow : public QWidget
{
    Q_OBJECT

public:
    // A window of its own that closes with parent.
    explicit AnalysisWindow(QWidget *parent);

    // The measuring window shows this measurement from now on / shows none.
    void showMeasurement(const Record &record);
    void clearMeasurement();

    // The analysis of the measurement on display while a subject is set.
    std::optional<analysis::Analysis> analysis() const;

    // "Analysis…" (Ctrl+B) opens this window; "Save report as PDF…" (Ctrl+P)
    // asks where to and writes the report. Both work in the measuring
    // window too.
    QAction *openAction() const { return m_open; }
    QAction *reportAction() const { return m_report; }

signals:
    // The analysis() changed: another subject, reference or measurement.
    void analysisChanged();

private:
    analysis::Subject subject() const;
    QStringList inputProblems() const;
    // The measured phase angle in degrees as the band was compared with it.
    std::optional<double> shownPhaseAngle() const;
    // Analyses the measurement on display again; a new one joins the path.
    void recompute(bool newMeasurement);
    void subjectChanged();
    void referenceChosen(int index);
    void addReferenceItem(int at, const analysis::BivaReference &reference);
    void saveReport();
    void openFromMeasuringWindow();

    QComboBox *m_sex;
    QLineEdit *m_age;
    QLineEdit *m_height;
    QLineEdit *m_weight;
    QComboBox *m_reference;
    std::vector<QLineEdit *> m_results;
    QLabel *m_notes;
    BivaGraph *m_graph;
    PhaseAngleBar *m_bar;
    QAction *m_open;
    QAction *m_report;

    // Built in first, then the files loaded, in the reference box's order.
    std::vector<analysis::BivaReference> m_references;
    int m_referenceIndex = 0;
    std::optional<Record> m_record;
    std::optional<analysis::Analysis> m_analysis;
    // The phase angle band of the subject's sex and age.
    std::optional<analysis::PhaseAngleBand> m_band;
    // This subject's measurements as (R/H, Xc/H), oldest first, and whom they
    // belong to.
    std::vector<QPointF> m_path;
    analysis::Subject m_pathSubject;
    // Whether the last point of the path is the measurement on display.
    bool m_pathEndsWithShown = false;
};
