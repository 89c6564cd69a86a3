#include "ui/bivagraph.h"

#include "ui/dialogstateshelter.h"
#include "ui/messagebox.h"
#include "ui/wholefile.h"

#include <QBuffer>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QMenu>
#include <QPainter>
#include <QStandardPaths>

BivaGraph::BivaGraph(QWidget *parent) : QWidget(parent)
{
    setAccessibleName(QStringLiteral("BIVA graph"));
    setMinimumSize(300, 240);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    // Reached by Tab, so that the context-menu key opens its menu.
    setFocusPolicy(Qt::StrongFocus);
}

void BivaGraph::setScene(const bivaplot::Scene &scene)
{
    m_scene = scene;
    update();
}

QTransform BivaGraph::mapping() const
{
    return bivaplot::mapping(m_scene, rect(), QFontMetricsF(font(), this));
}

void BivaGraph::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    bivaplot::paint(painter, rect(), m_scene);
    if (hasFocus()) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), 0, Qt::DashLine));
        painter.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
    }
}

void BivaGraph::contextMenuEvent(QContextMenuEvent *event)
{
    auto *menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QAction *exportPng = menu->addAction(QStringLiteral("&Export graph as PNG…"));
    exportPng->setObjectName(QStringLiteral("actExportGraph"));
    connect(exportPng, &QAction::triggered, this, &BivaGraph::exportAsked);
    menu->popup(event->globalPos());
}

bool BivaGraph::exportPng(const QString &path, QSize pixels, QString *error) const
{
    // Drawn for a screen of twice the density, so that text and lines keep
    // their proportions at the larger size.
    constexpr qreal ratio = 2;
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setFont(font());
    bivaplot::paint(painter, QRectF(QPointF(0, 0), QSizeF(pixels) / ratio), m_scene);
    painter.end();

    QBuffer png;
    png.open(QIODevice::WriteOnly);
    QImageWriter writer(&png, "png");
    if (!writer.write(image)) {
        *error = writer.errorString();
        return false;
    }
    return wholefile::write(path, png.data(), error);
}

void BivaGraph::exportAsked()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    const QString suggestion =
        (QFileInfo(documents).isDir() ? documents : QDir::homePath()) + QStringLiteral("/biva.png");
    QString path;
    {
        const DialogStateShelter shelter;
        QFileDialog dialog(window(), QStringLiteral("Export graph as PNG"), suggestion,
                           QStringLiteral("PNG pictures (*.png)"));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(QStringLiteral("png"));
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return;
        path = dialog.selectedFiles().constFirst();
    }
    QString error;
    if (!exportPng(path, QSize(1600, 1200), &error))
        messagebox::tell(window(),
                         QStringLiteral("Die Grafik konnte nicht gespeichert werden!\n\n%1:\n%2")
                             .arg(QDir::toNativeSeparators(path), error),
                         QMessageBox::Critical);
}
