#include "ui/form1.h"

#include "common/failure.h"
#include "serial/commcontrol.h"
#include "serial/conversation.h"
#include "serial/portlisting.h"
#include "ui/analysiswindow.h"
#include "ui/controlplacement.h"
#include "ui/measurementactions.h"
#include "ui/messagebox.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QFrame>
#include <QHelpEvent>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPalette>
#include <QPixmap>
#include <QPushButton>
#include <QShortcut>
#include <QToolTip>

namespace {

template <typename T> T *named(T *widget, const char *name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

} // namespace

Form1::Form1(QWidget *parent)
    : QWidget(parent), Image1(named(new QLabel(this), "Image1")),
      lblTitel(named(new QLabel(QStringLiteral("Velumet Display"), this), "lblTitel")),
      Frame1(named(new QFrame(this), "Frame1")),
      Label5(named(new QLabel(QStringLiteral("Com-Port"), Frame1), "Label5")),
      Label7(named(new QLabel(QStringLiteral("Resistance"), Frame1), "Label7")),
      Label8(named(new QLabel(QStringLiteral("Reactance"), Frame1), "Label8")),
      Label9(named(new QLabel(QStringLiteral("R-Hand"), Frame1), "Label9")),
      Label10(named(new QLabel(QStringLiteral("R-Foot"), Frame1), "Label10")),
      lblPhase(named(new QLabel(QStringLiteral("Phase angle"), Frame1), "lblPhase")),
      cmdClear(named(new QPushButton(QStringLiteral("Clear"), Frame1), "cmdClear")),
      txtPhase(named(new QLineEdit(Frame1), "txtPhase")),
      Command1(named(new QPushButton(QStringLiteral("Start"), this), "Command1")),
      m_conversation(new Conversation(this)), Text1(named(new QLineEdit(this), "Text1")),
      Command2(named(new QPushButton(QStringLiteral("Command2"), this), "Command2")),
      Command3(named(new QPushButton(QStringLiteral("Command3"), this), "Command3")),
      txtR(named(new QLineEdit(this), "txtR")), txtXc(named(new QLineEdit(this), "txtXc")),
      txtrh(named(new QLineEdit(this), "txtrh")), txtRF(named(new QLineEdit(this), "txtRF")),
      // The rows as the window stacks them, top to bottom.
      m_measurementActions(
          new MeasurementActions(this, {{Label7->text(), Measurement::Resistance},
                                        {Label8->text(), Measurement::Reactance},
                                        {lblPhase->text(), Measurement::PhaseAngle},
                                        {Label9->text(), Measurement::RHand},
                                        {Label10->text(), Measurement::RFoot}})),
      m_analysisWindow(new AnalysisWindow(this))
{
    using controlplacement::Font;
    using controlplacement::noTabIndex;
    setObjectName(QStringLiteral("Form1"));
    m_conversation->comm().setObjectName(QStringLiteral("MSComm1"));
    setWindowTitle(QStringLiteral("Velumet Display"));
    // Message boxes parented to the window show its icon too.
    setWindowIcon(QIcon(QStringLiteral(":/velumet/icon.png")));
    setFont(controlplacement::defaultFont());
    // Left, top, width, height in twips; the Frame1 rows are relative to Frame1.
    controlplacement::apply({
        {txtRF, 5820, 5520, 2655, 360, Font::Bold12, 8},
        {txtrh, 5820, 4740, 2655, 420, Font::Bold12, 7},
        {txtXc, 5820, 3120, 2655, 360, Font::Bold12, 6},
        {txtR, 5820, 2040, 2655, 360, Font::Bold12, 5},
        {Command3, 8580, 1320, 375, 375, Font::Default, 4},
        {Command2, 480, 2760, 975, 255, Font::Default, 3},
        {Text1, 5820, 1080, 2595, 360, Font::Bold12, 1},
        {Command1, 420, 1440, 2055, 435, Font::Default, 0},
        {Frame1, 120, 900, 10335, 6075, Font::Default, 13},
        {txtPhase, 5700, 2940, 2655, 420, Font::Bold12, 21},
        {cmdClear, 240, 5400, 1995, 375, Font::Default, 14},
        {lblPhase, 2880, 3060, 1875, 315, Font::Bold12, 22},
        {Label10, 2880, 4620, 855, 255, Font::Bold12, 20},
        {Label9, 2880, 3840, 1035, 255, Font::Bold12, 19},
        {Label8, 2880, 2220, 1275, 255, Font::Bold12, 18},
        {Label7, 2880, 1200, 1635, 255, Font::Bold12, 17},
        {Label5, 2940, 240, 1575, 255, Font::Bold12, 15},
        {lblTitel, 300, 240, 3855, 495, Font::Bold18, 23},
        {Image1, 7800, 300, 2760, 495, Font::Default, noTabIndex},
    });
    setFixedSize(10770 / controlplacement::twipsPerPixel, 7140 / controlplacement::twipsPerPixel);

    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setAutoFillBackground(true);
    // The panel keeps the desktop's own window colour, so that the white
    // labels on it stand out the way the layout intends.
    QPalette panel = palette();
    panel.setColor(QPalette::Window, QGuiApplication::palette().color(QPalette::Window));
    Frame1->setPalette(panel);
    Frame1->setAutoFillBackground(true);
    Frame1->setFrameStyle(QFrame::StyledPanel | QFrame::Plain);
    for (QLabel *label : {lblTitel, Label5, Label7, Label8, Label9, Label10, lblPhase}) {
        label->setPalette(white);
        label->setAutoFillBackground(true);
    }

    // Through QIcon, which takes banner@2x.png as well, so that a HiDPI screen
    // gets the banner rendered for its pixels rather than an enlarged one.
    Image1->setPixmap(
        QIcon(QStringLiteral(":/velumet/banner.png")).pixmap(QSize(320, 58), devicePixelRatioF()));
    Image1->setScaledContents(true);

    // Screen readers announce each field by the caption beside it.
    Text1->setAccessibleName(Label5->text());
    txtR->setAccessibleName(Label7->text());
    txtXc->setAccessibleName(Label8->text());
    txtPhase->setAccessibleName(lblPhase->text());
    txtrh->setAccessibleName(Label9->text());
    txtRF->setAccessibleName(Label10->text());
    // The banner is a picture; unnamed, it would be read out as an image
    // and nothing more. It shows the impedance formula over two waves.
    Image1->setAccessibleName(QStringLiteral("Banner: Z = R + jX"));

    // Two buttons of the layout that are not for the user: hidden, they can
    // neither be clicked nor reached with the keyboard.
    Command2->hide();
    Command3->hide();

    Command1->setFocus();

    // The port field shows its tooltip on demand, with the ports present then.
    Text1->installEventFilter(this);

    // Their shortcuts work anywhere in the window; Ctrl+C in a field still
    // copies its selection.
    addActions(m_measurementActions->actions());
    addActions(analysisActions());
    for (QLineEdit *field : valueFields())
        field->installEventFilter(this);
    connect(new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10), this), &QShortcut::activated, this,
            &Form1::showContextMenuFromKeyboard);

    // Copies and saves carry the analysis while a subject is set.
    connect(m_analysisWindow, &AnalysisWindow::analysisChanged, this,
            [this] { m_measurementActions->setAnalysis(m_analysisWindow->analysis()); });
    connect(m_conversation, &Conversation::bufferChanged, this, &Form1::Text2_Change);
    connect(m_conversation, &Conversation::dataLost, this, &Form1::onDataLost);
    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(cmdClear, &QPushButton::clicked, this, &Form1::cmdClear_Click);
    connect(Command2, &QPushButton::clicked, this, &Form1::Close);
}

void Form1::closeEvent(QCloseEvent *event)
{
    Close();
    m_analysisWindow->close();
    QWidget::closeEvent(event);
}

void Form1::cmdClear_Click()
{
    ClearTextBox();
    Close();
}

void Form1::MsgBox(const QString &text, QMessageBox::Icon icon)
{
    messagebox::tell(this, text, icon);
}

bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Text1 && event->type() == QEvent::ToolTip) {
        showPortTooltip(static_cast<QHelpEvent *>(event)->globalPos());
        return true;
    }
    auto *field = qobject_cast<QLineEdit *>(watched);
    if (event->type() == QEvent::ContextMenu && valueFields().contains(field)) {
        // The field's own entries first, as users know them.
        QMenu *menu = field->createStandardContextMenu();
        menu->setParent(field, menu->windowFlags());
        menu->addSeparator();
        m_measurementActions->popUp(menu, static_cast<QContextMenuEvent *>(event)->globalPos(),
                                    analysisActions());
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void Form1::contextMenuEvent(QContextMenuEvent *event)
{
    m_measurementActions->popUp(new QMenu(this), event->globalPos(), analysisActions());
}

void Form1::showContextMenuFromKeyboard()
{
    // As the platforms place a menu asked for with the keyboard: at the
    // focus widget's cursor, or its middle.
    QWidget *target = focusWidget() ? focusWidget() : this;
    const QPoint at = target->inputMethodQuery(Qt::ImCursorRectangle).toRect().center();
    QContextMenuEvent event(QContextMenuEvent::Keyboard, at, target->mapToGlobal(at));
    QApplication::sendEvent(target, &event);
}

QList<QAction *> Form1::analysisActions() const
{
    return {m_analysisWindow->openAction(), m_analysisWindow->reportAction()};
}

void Form1::showPortTooltip(const QPoint &globalPos)
{
    QStringList lines;
    for (const portlisting::Entry &entry : portlisting::listPorts()) {
        if (!entry.port || !entry.present)
            continue;
        QString line = QString::number(*entry.port) + QStringLiteral(": ") + entry.device;
        if (!entry.description.isEmpty())
            line += QStringLiteral(" (") + entry.description + u')';
        lines << line;
    }
    const QString text = lines.isEmpty()
                             ? QStringLiteral("No serial port present")
                             : QStringLiteral("Ports present now:\n") + lines.join(u'\n');
    QToolTip::showText(globalPos, text, Text1);
}

void Form1::Text2_Change()
{
    const std::optional<Measurement> &measurement = m_conversation->measurement();
    if (!measurement) {
        // The display shows only what the buffer gives. Start empties the
        // buffer; left standing, the last measurement would pass for the new
        // one whenever its answer never forms a frame (silent box, lost
        // marker, line gone).
        if (m_conversation->buffer().length() == 0)
            ClearTextBox();
        return;
    }
    // A failed evaluation is not reported: it would repeat on every received
    // chunk. Its fields stay empty instead, so that an earlier measurement's
    // values never stand beside this one's.
    QLineEdit *const fields[Measurement::valueCount] = {txtR, txtXc, txtrh, txtRF, txtPhase};
    for (int value = 0; value < Measurement::valueCount; ++value)
        fields[value]->setText(measurement->texts[value]);
    // Later chunks leave a complete frame's measurement as it is; its record
    // keeps the moment the frame completed and the port it came in on.
    if (!m_measurementActions->showsMeasurement()) {
        const Record record = recordformat::fromMeasurement(
            QDateTime::currentDateTime(), m_conversation->comm().commPort(), *measurement);
        m_measurementActions->show(record);
        m_analysisWindow->showMeasurement(record);
    }
}

void Form1::ClearTextBox()
{
    m_measurementActions->clear();
    m_analysisWindow->clearMeasurement();
    txtR->clear();
    txtRF->clear();
    txtrh->clear();
    txtXc->clear();
    txtPhase->clear();
}

void Form1::Command1_Click()
{
    if (Text1->text().isEmpty()) {
        MsgBox(QStringLiteral("Bitte geben Sie einen Com-Port ein!"), QMessageBox::Critical);
        Text1->setFocus();
        return;
    }
    m_dataLossShown = false;
    try {
        m_conversation->start(Text1->text());
    } catch (const Failure &failure) {
        switch (failure.number()) {
        case 8002:
            MsgBox(QStringLiteral("Der angegebene Com-Port konnte nicht geöffnet werden!"),
                   QMessageBox::Critical);
            break;
        case 8005:
            // Start pressed on an open port: it ends the conversation instead.
            m_conversation->close();
            break;
        default:
            MsgBox(QStringLiteral("Fehler") + QString::number(failure.number()) +
                       QStringLiteral(" (") + failure.description() + QStringLiteral(") "),
                   QMessageBox::NoIcon);
            break;
        }
    }
}

void Form1::onDataLost()
{
    if (m_dataLossShown)
        return;
    m_dataLossShown = true;
    MsgBox(QStringLiteral("Datenverlust!"), QMessageBox::NoIcon);
}

void Form1::Close()
{
    m_conversation->close();
}
