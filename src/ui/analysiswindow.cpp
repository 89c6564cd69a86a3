#include "ui/analysiswindow.h"

#include "ui/analysisreport.h"
#include "ui/analysistext.h"
#include "ui/bivagraph.h"
#include "ui/dialogstateshelter.h"
#include "ui/messagebox.h"
#include "ui/phaseanglebar.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QDoubleValidator>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QShortcut>
#include <QStandardPaths>
#include <QVBoxLayout>

namespace {

using analysis::SubjectLimits;

QLineEdit *numberField(QWidget *parent, const QString &name, QValidator *validator)
{
    auto *field = new QLineEdit(parent);
    field->setAccessibleName(name);
    field->setValidator(validator);
    return field;
}

QWidget *withUnit(QWidget *parent, QWidget *field, const QString &unit)
{
    auto *row = new QWidget(parent);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(field, 1);
    layout->addWidget(new QLabel(unit, row));
    return row;
}

// A caption whose mnemonic (Alt+G for Age) takes the keyboard to its field.
QLabel *caption(const QString &text, QWidget *buddy, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setBuddy(buddy);
    return label;
}

QValidator *decimals(double bottom, double top, QObject *parent)
{
    auto *validator = new QDoubleValidator(bottom, top, 1, parent);
    validator->setNotation(QDoubleValidator::StandardNotation);
    return validator;
}

// The reference file's fault in the German of the window's messages.
QString inGerman(const analysis::ReferenceFileError &error)
{
    using Error = analysis::ReferenceFileError;
    switch (error.kind) {
    case Error::Unreadable:
        return QStringLiteral("Die Datei kann nicht gelesen werden: %1").arg(error.detail);
    case Error::NotJson:
        return QStringLiteral("Die Datei ist kein JSON: %1").arg(error.detail);
    case Error::NotAnObject:
        return error.field.isEmpty() ? QStringLiteral("Die Datei ist kein JSON-Objekt.")
                                     : QStringLiteral("„%1“ ist kein Objekt aus n, Mittelwerten, "
                                                      "Standardabweichungen und r.")
                                           .arg(error.field);
    case Error::MissingField:
        return QStringLiteral("„%1“ fehlt.").arg(error.field);
    case Error::NotText:
        return QStringLiteral("„%1“ ist kein Text.").arg(error.field);
    case Error::NotANumber:
        return QStringLiteral("„%1“ ist keine Zahl.").arg(error.field);
    case Error::NotAWholeNumber:
        return QStringLiteral("„%1“ ist keine ganze Zahl.").arg(error.field);
    case Error::TooFewPeople:
        return QStringLiteral("„%1“ muss mindestens 3 sein.").arg(error.field);
    case Error::SdNotPositive:
        return QStringLiteral("„%1“ muss größer als 0 sein.").arg(error.field);
    case Error::CorrelationOutOfRange:
        return QStringLiteral("„%1“ muss zwischen -1 und 1 liegen, beide ausgeschlossen.")
            .arg(error.field);
    case Error::AgeRangeReversed:
        return QStringLiteral("„age_min“ ist größer als „age_max“.");
    }
    return QString();
}

// A number field read in the locale's form; nothing when empty or outside
// the range its validator allows.
std::optional<double> number(const QLineEdit *field)
{
    if (field->text().isEmpty() || !field->hasAcceptableInput())
        return std::nullopt;
    bool ok = false;
    const double value = QLocale().toDouble(field->text(), &ok);
    return ok ? std::optional<double>(value) : std::nullopt;
}

} // namespace

AnalysisWindow::AnalysisWindow(QWidget *parent)
    : QWidget(parent, Qt::Window), m_sex(new QComboBox(this)),
      m_age(numberField(this, QStringLiteral("Age"),
                        new QIntValidator(SubjectLimits::ageMin, SubjectLimits::ageMax, this))),
      m_height(numberField(this, QStringLiteral("Height"),
                           decimals(SubjectLimits::heightMinCm, SubjectLimits::heightMaxCm, this))),
      m_weight(numberField(this, QStringLiteral("Weight"),
                           decimals(SubjectLimits::weightMinKg, SubjectLimits::weightMaxKg, this))),
      m_reference(new QComboBox(this)), m_notes(new QLabel(this)), m_graph(new BivaGraph(this)),
      m_bar(new PhaseAngleBar(this)), m_open(new QAction(QStringLiteral("&Analysis…"), this)),
      m_report(new QAction(QStringLiteral("Save &report as PDF…"), this)),
      m_references(analysis::builtInReferences())
{
    setObjectName(QStringLiteral("AnalysisWindow"));
    setWindowTitle(QStringLiteral("Analysis – Velumet Display"));
    m_open->setObjectName(QStringLiteral("actAnalysis"));
    m_open->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_B));
    m_report->setObjectName(QStringLiteral("actSaveReport"));
    m_report->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    m_report->setEnabled(false);
    addAction(m_report);

    m_sex->setAccessibleName(QStringLiteral("Sex"));
    m_sex->addItem(QStringLiteral("Female"), int(analysis::Sex::Female));
    m_sex->addItem(QStringLiteral("Male"), int(analysis::Sex::Male));
    m_sex->setPlaceholderText(QStringLiteral("Choose…"));
    m_sex->setCurrentIndex(-1);

    m_reference->setAccessibleName(QStringLiteral("Reference"));
    // Full citations are long; the list shows them whole.
    m_reference->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_reference->setMinimumContentsLength(28);
    for (std::size_t i = 0; i < m_references.size(); ++i)
        addReferenceItem(int(i), m_references[i]);
    m_reference->addItem(QStringLiteral("From file…"));

    auto *subjectBox = new QGroupBox(QStringLiteral("Subject"), this);
    auto *subjectForm = new QFormLayout(subjectBox);
    subjectForm->addRow(caption(QStringLiteral("&Sex"), m_sex, subjectBox), m_sex);
    subjectForm->addRow(caption(QStringLiteral("A&ge"), m_age, subjectBox),
                        withUnit(subjectBox, m_age, QStringLiteral("years")));
    subjectForm->addRow(caption(QStringLiteral("&Height"), m_height, subjectBox),
                        withUnit(subjectBox, m_height, QStringLiteral("cm")));
    subjectForm->addRow(caption(QStringLiteral("&Weight"), m_weight, subjectBox),
                        withUnit(subjectBox, m_weight, QStringLiteral("kg")));
    subjectForm->addRow(caption(QStringLiteral("Re&ference"), m_reference, subjectBox),
                        m_reference);

    auto *resultBox = new QGroupBox(QStringLiteral("Results"), this);
    auto *resultForm = new QFormLayout(resultBox);
    for (const analysistext::Row &row : analysistext::resultRows(analysis::Analysis{})) {
        auto *field = new QLineEdit(resultBox);
        field->setReadOnly(true);
        field->setAccessibleName(row.caption);
        resultForm->addRow(row.caption, field);
        m_results.push_back(field);
    }
    m_notes->setAccessibleName(QStringLiteral("Notes"));
    m_notes->setWordWrap(true);
    m_notes->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_notes->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    auto *reportButton = new QPushButton(m_report->text(), this);
    reportButton->setEnabled(false);
    connect(reportButton, &QPushButton::clicked, m_report, &QAction::trigger);
    connect(m_report, &QAction::enabledChanged, reportButton, &QPushButton::setEnabled);

    auto *left = new QVBoxLayout;
    left->addWidget(subjectBox);
    left->addWidget(resultBox);
    left->addWidget(m_notes, 1);
    auto *right = new QVBoxLayout;
    right->addWidget(m_graph, 1);
    right->addWidget(m_bar);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(reportButton);
    right->addLayout(buttons);
    auto *columns = new QHBoxLayout(this);
    columns->addLayout(left, 1);
    columns->addLayout(right, 1);
    resize(1000, 620);

    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this,
            &QWidget::close);
    connect(m_open, &QAction::triggered, this, &AnalysisWindow::openFromMeasuringWindow);
    connect(m_report, &QAction::triggered, this, &AnalysisWindow::saveReport);
    connect(m_sex, &QComboBox::currentIndexChanged, this, &AnalysisWindow::subjectChanged);
    for (QLineEdit *field : {m_age, m_height, m_weight})
        connect(field, &QLineEdit::textChanged, this, &AnalysisWindow::subjectChanged);
    connect(m_reference, &QComboBox::activated, this, &AnalysisWindow::referenceChosen);
    recompute(false);
}

void AnalysisWindow::showMeasurement(const Record &record)
{
    m_record = record;
    m_report->setEnabled(true);
    recompute(true);
}

void AnalysisWindow::clearMeasurement()
{
    m_record.reset();
    m_report->setEnabled(false);
    recompute(false);
}

std::optional<analysis::Analysis> AnalysisWindow::analysis() const
{
    if (subject().isEmpty())
        return std::nullopt;
    return m_analysis;
}

analysis::Subject AnalysisWindow::subject() const
{
    analysis::Subject subject;
    if (m_sex->currentIndex() >= 0)
        subject.sex = analysis::Sex(m_sex->currentData().toInt());
    if (const std::optional<double> age = number(m_age))
        subject.age = int(*age);
    subject.heightCm = number(m_height);
    subject.weightKg = number(m_weight);
    return subject;
}

QStringList AnalysisWindow::inputProblems() const
{
    QStringList problems;
    const auto check = [&](const QLineEdit *field, const QString &range) {
        if (!field->text().isEmpty() && !field->hasAcceptableInput())
            problems << QStringLiteral("%1 must be %2.").arg(field->accessibleName(), range);
    };
    check(m_age, QStringLiteral("a whole number of years from %1 to %2")
                     .arg(SubjectLimits::ageMin)
                     .arg(SubjectLimits::ageMax));
    check(m_height, QStringLiteral("%1 to %2 cm")
                        .arg(SubjectLimits::heightMinCm)
                        .arg(SubjectLimits::heightMaxCm));
    check(m_weight, QStringLiteral("%1 to %2 kg")
                        .arg(SubjectLimits::weightMinKg)
                        .arg(SubjectLimits::weightMaxKg));
    return problems;
}

std::optional<double> AnalysisWindow::shownPhaseAngle() const
{
    if (!m_record)
        return std::nullopt;
    // Where the core compared the angle with the band, the bar shows the same
    // unrounded angle: one the field rounds to 6.5 may still lie above a 5th
    // percentile of 6.53, as the class says.
    if (m_analysis && m_analysis->phaseAngle)
        return m_analysis->phaseAngle;
    return m_record->measurement.numbers[Measurement::PhaseAngle];
}

void AnalysisWindow::subjectChanged()
{
    recompute(false);
}

void AnalysisWindow::recompute(bool newMeasurement)
{
    const analysis::Subject now = subject();
    const analysis::BivaReference &reference = m_references.at(std::size_t(m_referenceIndex));
    m_analysis = m_record ? std::optional(analysis::analyse(now, m_record->measurement, reference))
                          : std::nullopt;

    // A follow-up is one person's path; another person starts a new one,
    // from the measurement on display.
    if (now != m_pathSubject) {
        m_pathSubject = now;
        m_path.clear();
        m_pathEndsWithShown = false;
        newMeasurement = m_record.has_value();
    }
    if (newMeasurement) {
        m_pathEndsWithShown = m_analysis && m_analysis->rh && m_analysis->xch;
        if (m_pathEndsWithShown)
            m_path.emplace_back(*m_analysis->rh, *m_analysis->xch);
    }
    if (!m_record)
        m_pathEndsWithShown = false;

    const std::vector<analysistext::Row> rows =
        analysistext::resultRows(m_analysis.value_or(analysis::Analysis{}));
    for (std::size_t i = 0; i < rows.size(); ++i)
        m_results[i]->setText(rows[i].text);
    QStringList notes = inputProblems();
    if (m_analysis)
        notes << m_analysis->notes;
    else
        notes << QStringLiteral("No measurement on display: press Start in the measuring window.");
    m_notes->setText(notes.join(u'\n'));

    bivaplot::Scene scene;
    if (now.sex) {
        scene.ellipses = analysis::toleranceEllipses(reference.group(*now.sex));
        scene.legend = QStringLiteral("%1, %2").arg(reference.name, *now.sex == analysis::Sex::Male
                                                                        ? QStringLiteral("men")
                                                                        : QStringLiteral("women"));
    }
    scene.path = m_path;
    scene.newestShown = m_pathEndsWithShown;
    m_graph->setScene(scene);

    m_band.reset();
    if (now.sex && now.age)
        m_band = analysis::barbosaSilva2005Band(*now.sex, *now.age);
    m_bar->setBand(m_band, shownPhaseAngle());
    emit analysisChanged();
}

void AnalysisWindow::addReferenceItem(int at, const analysis::BivaReference &reference)
{
    const QString text = reference.citation.isEmpty() ? reference.name : reference.citation;
    m_reference->insertItem(at, text);
    m_reference->setItemData(at, text, Qt::ToolTipRole);
}

void AnalysisWindow::referenceChosen(int index)
{
    if (index < int(m_references.size())) {
        m_referenceIndex = index;
        recompute(false);
        return;
    }
    // "From file…": the choice before stays unless a reference loads.
    m_reference->setCurrentIndex(m_referenceIndex);
    QString path;
    {
        const DialogStateShelter shelter;
        QFileDialog dialog(this, QStringLiteral("Load a BIVA reference"), QDir::homePath(),
                           QStringLiteral("JSON files (*.json);;All files (*)"));
        dialog.setFileMode(QFileDialog::ExistingFile);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return;
        path = dialog.selectedFiles().constFirst();
    }
    const auto loaded = analysis::referenceFromFile(path);
    if (const auto *error = std::get_if<analysis::ReferenceFileError>(&loaded)) {
        messagebox::tell(this,
                         QStringLiteral("Die Referenz konnte nicht geladen werden!\n\n%1:\n%2")
                             .arg(QDir::toNativeSeparators(path), inGerman(*error)),
                         QMessageBox::Critical);
        return;
    }
    m_references.push_back(std::get<analysis::BivaReference>(loaded));
    m_referenceIndex = int(m_references.size()) - 1;
    addReferenceItem(m_referenceIndex, m_references.back());
    m_reference->setCurrentIndex(m_referenceIndex);
    recompute(false);
}

void AnalysisWindow::openFromMeasuringWindow()
{
    show();
    raise();
    activateWindow();
}

void AnalysisWindow::saveReport()
{
    QWidget *owner = isVisible() ? this : parentWidget();
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString suggestion =
        (QFileInfo(documents).isDir() ? documents : QDir::homePath()) +
        QStringLiteral("/report-%1.pdf")
            .arg(m_record ? m_record->time.toString(QStringLiteral("yyyy-MM-dd-HHmmss"))
                          : QString());
    QString path;
    {
        const DialogStateShelter shelter;
        QFileDialog dialog(owner, QStringLiteral("Save report as PDF"), suggestion,
                           QStringLiteral("PDF files (*.pdf)"));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(QStringLiteral("pdf"));
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return;
        path = dialog.selectedFiles().constFirst();
    }
    // The dialog ran an event loop: the measurement may be gone by now.
    if (!m_record || !m_analysis)
        return;
    const analysisreport::Content content{
        *m_record,        *m_analysis, m_references.at(std::size_t(m_referenceIndex)),
        m_graph->scene(), m_band,      shownPhaseAngle()};
    QString error;
    if (!analysisreport::write(path, content, &error))
        messagebox::tell(owner,
                         QStringLiteral("Der Bericht konnte nicht gespeichert werden!\n\n%1:\n%2")
                             .arg(QDir::toNativeSeparators(path), error),
                         QMessageBox::Critical);
}
