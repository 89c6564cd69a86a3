#include "serial/portdirectory.h"
#include "simulatedbox.h"
#include "temporaryconfighome.h"
#include "ui/form1.h"

#include <QAccessible>
#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

// The window as it must look: every control, in stacking order (where two
// overlap, the earlier row lies on top). Positions are twips relative to the
// parent; a point size of 8 is the window's small regular default font.
struct Control
{
    const char *name;
    const char *kind;
    const char *caption;
    int left;
    int top;
    int width;
    int height;
    const char *parent;
    int points;
    bool bold;
    int tabIndex;
    bool visible;
};

const std::vector<Control> controls{
    {"txtRF", "QLineEdit", "", 5820, 5520, 2655, 360, "Form1", 12, true, 8, true},
    {"txtrh", "QLineEdit", "", 5820, 4740, 2655, 420, "Form1", 12, true, 7, true},
    {"txtXc", "QLineEdit", "", 5820, 3120, 2655, 360, "Form1", 12, true, 6, true},
    {"txtR", "QLineEdit", "", 5820, 2040, 2655, 360, "Form1", 12, true, 5, true},
    {"Command3", "QPushButton", "Command3", 8580, 1320, 375, 375, "Form1", 8, false, 4, false},
    {"Command2", "QPushButton", "Command2", 480, 2760, 975, 255, "Form1", 8, false, 3, false},
    {"Text1", "QLineEdit", "", 5820, 1080, 2595, 360, "Form1", 12, true, 1, true},
    {"Command1", "QPushButton", "Start", 420, 1440, 2055, 435, "Form1", 8, false, 0, true},
    {"Frame1", "QFrame", "", 120, 900, 10335, 6075, "Form1", 8, false, 13, true},
    {"txtPhase", "QLineEdit", "", 5700, 2940, 2655, 420, "Frame1", 12, true, 21, true},
    {"cmdClear", "QPushButton", "Clear", 240, 5400, 1995, 375, "Frame1", 8, false, 14, true},
    {"lblPhase", "QLabel", "Phase angle", 2880, 3060, 1875, 315, "Frame1", 12, true, 22, true},
    {"Label10", "QLabel", "R-Foot", 2880, 4620, 855, 255, "Frame1", 12, true, 20, true},
    {"Label9", "QLabel", "R-Hand", 2880, 3840, 1035, 255, "Frame1", 12, true, 19, true},
    {"Label8", "QLabel", "Reactance", 2880, 2220, 1275, 255, "Frame1", 12, true, 18, true},
    {"Label7", "QLabel", "Resistance", 2880, 1200, 1635, 255, "Frame1", 12, true, 17, true},
    {"Label5", "QLabel", "Com-Port", 2940, 240, 1575, 255, "Frame1", 12, true, 15, true},
    {"lblTitel", "QLabel", "Velumet Display", 300, 240, 3855, 495, "Form1", 18, true, 23, true},
    {"Image1", "QLabel", "", 7800, 300, 2760, 495, "Form1", 8, false, -1, true},
};

QRect pixels(const Control &c)
{
    return {c.left / 15, c.top / 15, c.width / 15, c.height / 15};
}

QWidget *widget(Form1 &form, const char *name)
{
    if (form.objectName() == QLatin1String(name))
        return &form;
    return form.findChild<QWidget *>(QLatin1String(name));
}

QString caption(const QWidget *w)
{
    if (const auto *label = qobject_cast<const QLabel *>(w))
        return label->text();
    if (const auto *button = qobject_cast<const QAbstractButton *>(w))
        return button->text();
    if (const auto *field = qobject_cast<const QLineEdit *>(w))
        return field->text();
    return QString();
}

} // namespace

class TestWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void control_data();
    void control();
    void nothingBeyondTheTable();
    void overlappingControlsStack();
    void tabOrder();
    void window();
    void colours();
    void banner();
    void picturesFollowThePixelRatio();
    void hiddenButtonsIgnoreClicks_data();
    void hiddenButtonsIgnoreClicks();
    void accessibleNames_data();
    void accessibleNames();
    void portFieldTooltipListsThePortsPresent();

private:
    // A fresh, shown and active window for every test function and row.
    std::unique_ptr<Form1> m_form;
};

void TestWindow::init()
{
    m_form = std::make_unique<Form1>();
    m_form->show();
    QApplication::setActiveWindow(m_form.get());
    QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
}

void TestWindow::cleanup()
{
    m_form.reset();
}

void TestWindow::control_data()
{
    QTest::addColumn<int>("row");
    for (std::size_t i = 0; i < controls.size(); ++i)
        QTest::newRow(controls[i].name) << int(i);
}

void TestWindow::control()
{
    QFETCH(int, row);
    const Control &c = controls[std::size_t(row)];
    QWidget *w = widget(*m_form, c.name);
    QVERIFY(w);
    QVERIFY2(w->inherits(c.kind), w->metaObject()->className());
    QCOMPARE(w->parentWidget()->objectName(), QLatin1String(c.parent));
    QCOMPARE(w->geometry(), pixels(c));
    QCOMPARE(w->isVisible(), c.visible);
    QCOMPARE(caption(w), QLatin1String(c.caption));
    QCOMPARE(w->font().pointSize(), c.points);
    QCOMPARE(w->font().bold(), c.bold);
    if (auto *field = qobject_cast<QLineEdit *>(w)) {
        QVERIFY(!field->isReadOnly());
        QCOMPARE(field->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
    }
    // Every caption fits its fixed box in the font actually found.
    if (auto *label = qobject_cast<QLabel *>(w); label && !label->text().isEmpty()) {
        const QFontMetrics metrics(label->font());
        const QRect ink = metrics.tightBoundingRect(label->text());
        QVERIFY2(metrics.horizontalAdvance(label->text()) <= label->contentsRect().width(),
                 qPrintable(QFontInfo(label->font()).family()));
        QVERIFY(ink.height() <= label->contentsRect().height());
    }
}

// A stray control, or the receive buffer as a visible widget, would show up
// in the window without being in the table.
void TestWindow::nothingBeyondTheTable()
{
    QStringList expected;
    for (const Control &c : controls)
        expected << QLatin1String(c.name);
    QStringList found;
    for (QWidget *parent : {static_cast<QWidget *>(m_form.get()), widget(*m_form, "Frame1")}) {
        for (QWidget *child : parent->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            if (!child->isWindow())
                found << child->objectName();
        }
    }
    expected.sort();
    found.sort();
    QCOMPARE(found, expected);
}

void TestWindow::overlappingControlsStack()
{
    for (std::size_t upper = 0; upper < controls.size(); ++upper) {
        for (std::size_t lower = upper + 1; lower < controls.size(); ++lower) {
            const Control &a = controls[upper];
            const Control &b = controls[lower];
            if (qstrcmp(a.parent, b.parent) != 0 || !pixels(a).intersects(pixels(b)))
                continue;
            // Later siblings are painted over earlier ones.
            const QObjectList siblings = widget(*m_form, a.parent)->children();
            QVERIFY2(siblings.indexOf(widget(*m_form, a.name)) >
                         siblings.indexOf(widget(*m_form, b.name)),
                     qPrintable(QStringLiteral("%1 over %2")
                                    .arg(QLatin1String(a.name), QLatin1String(b.name))));
        }
    }
}

// Focus starts on Start, and Tab walks the visible buttons and fields in
// tab-index order, round to Start again.
void TestWindow::tabOrder()
{
    std::vector<Control> stops;
    std::copy_if(controls.begin(), controls.end(), std::back_inserter(stops), [](const Control &c) {
        return c.visible && c.tabIndex >= 0 &&
               (qstrcmp(c.kind, "QLineEdit") == 0 || qstrcmp(c.kind, "QPushButton") == 0);
    });
    std::sort(stops.begin(), stops.end(),
              [](const Control &a, const Control &b) { return a.tabIndex < b.tabIndex; });
    QStringList expected;
    for (const Control &c : stops)
        expected << QLatin1String(c.name);
    expected << expected.first();

    QStringList visited{QApplication::focusWidget()->objectName()};
    for (qsizetype i = 1; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(visited, expected);
}

void TestWindow::window()
{
    QCOMPARE(m_form->windowTitle(), QStringLiteral("Velumet Display"));
    QCOMPARE(m_form->size(), QSize(718, 476));
    QCOMPARE(m_form->minimumSize(), QSize(718, 476));
    QCOMPARE(m_form->maximumSize(), QSize(718, 476));
    QCOMPARE(m_form->windowIcon().availableSizes(), QList<QSize>{QSize(64, 64)});
}

void TestWindow::colours()
{
    const auto background = [](QWidget *w) {
        return w->autoFillBackground() ? w->palette().color(w->backgroundRole()) : QColor();
    };
    QCOMPARE(background(m_form.get()), QColor(Qt::white));
    QCOMPARE(background(widget(*m_form, "Frame1")),
             QGuiApplication::palette().color(QPalette::Window));
    for (const Control &c : controls) {
        if (qstrcmp(c.kind, "QLabel") == 0 && qstrcmp(c.name, "Image1") != 0)
            QVERIFY2(background(widget(*m_form, c.name)) == QColor(Qt::white), c.name);
    }
}

void TestWindow::banner()
{
    auto *image = qobject_cast<QLabel *>(widget(*m_form, "Image1"));
    QCOMPARE(image->pixmap().size(), QSize(320, 58));
    QVERIFY(image->hasScaledContents());
    // Drawn, not empty: the banner's middle is opaque.
    QCOMPARE(image->pixmap().toImage().pixelColor(160, 29).alpha(), 255);
}

// CTest runs this once more with QT_SCALE_FACTOR=2: the pictures must then be
// the ones rendered for twice the pixels, not the plain ones enlarged.
void TestWindow::picturesFollowThePixelRatio()
{
    const qreal ratio = m_form->devicePixelRatioF();
    if (qEnvironmentVariableIsSet("QT_SCALE_FACTOR"))
        QCOMPARE(ratio, qEnvironmentVariable("QT_SCALE_FACTOR").toDouble());

    const QPixmap banner = qobject_cast<QLabel *>(widget(*m_form, "Image1"))->pixmap();
    QCOMPARE(banner.devicePixelRatio(), ratio);
    QCOMPARE(banner.size(), QSize(320, 58) * ratio);

    const QPixmap icon = m_form->windowIcon().pixmap(QSize(64, 64), ratio);
    QCOMPARE(icon.devicePixelRatio(), ratio);
    QCOMPARE(icon.size(), QSize(64, 64) * ratio);
}

void TestWindow::hiddenButtonsIgnoreClicks_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("Command2") << QStringLiteral("Command2");
    QTest::newRow("Command3") << QStringLiteral("Command3");
}

// A user reaches a button only through the window: a click where it sits,
// or the keyboard (tabOrder shows it is not in the chain).
void TestWindow::hiddenButtonsIgnoreClicks()
{
    QFETCH(QString, name);
    auto *button = m_form->findChild<QPushButton *>(name);
    QVERIFY(button);
    QSignalSpy clicked(button, &QAbstractButton::clicked);
    const QPoint centre = button->mapTo(m_form.get(), button->rect().center());
    QTest::mouseClick(m_form->windowHandle(), Qt::LeftButton, {}, centre);
    QCOMPARE(clicked.count(), 0);
}

void TestWindow::accessibleNames_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("name");
    QTest::newRow("port") << QStringLiteral("Text1") << QStringLiteral("Com-Port");
    QTest::newRow("resistance") << QStringLiteral("txtR") << QStringLiteral("Resistance");
    QTest::newRow("reactance") << QStringLiteral("txtXc") << QStringLiteral("Reactance");
    QTest::newRow("phase angle") << QStringLiteral("txtPhase") << QStringLiteral("Phase angle");
    QTest::newRow("r-hand") << QStringLiteral("txtrh") << QStringLiteral("R-Hand");
    QTest::newRow("r-foot") << QStringLiteral("txtRF") << QStringLiteral("R-Foot");
    // A picture without a name is read out as an unnamed image.
    QTest::newRow("banner") << QStringLiteral("Image1") << QStringLiteral("Banner: Z = R + jX");
}

void TestWindow::accessibleNames()
{
    QFETCH(QString, field);
    QFETCH(QString, name);
    QAccessibleInterface *accessible =
        QAccessible::queryAccessibleInterface(m_form->findChild<QWidget *>(field));
    QVERIFY(accessible);
    QCOMPARE(accessible->text(QAccessible::Name), name);
}

// Computed when it shows: a box started after the window opened is listed, a
// link whose device is gone is not.
void TestWindow::portFieldTooltipListsThePortsPresent()
{
    const TemporaryConfigHome configHome;
    const box::SimulatedBox device{box::Behaviour{}};
    QVERIFY(QFile::link(QStringLiteral("/dev/ttyGONE7"), portdirectory::linkPath(30000)));
    auto *field = m_form->findChild<QLineEdit *>(QStringLiteral("Text1"));
    QHelpEvent hover(QEvent::ToolTip, field->rect().center(),
                     field->mapToGlobal(field->rect().center()));
    QApplication::sendEvent(field, &hover);
    QTRY_VERIFY(QToolTip::isVisible());
    const QString text = QToolTip::text();
    QVERIFY2(
        text.contains(QString::number(device.port()) + QStringLiteral(": ") + device.devicePath()),
        qPrintable(text));
    QVERIFY2(!text.contains(QLatin1String("30000")), qPrintable(text));
    QToolTip::hideText();
    QDir(portdirectory::directory()).removeRecursively();
}

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
