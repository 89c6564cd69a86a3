#include "ui/controlplacement.h"

#include <algorithm>

namespace controlplacement {

namespace {

// The captions' fixed boxes are sized for Arial's widths. Every Windows has
// Arial; Linux has Liberation Sans, made to the same widths. Windows' MS Sans
// Serif, the face such layouts were once drawn in, is a bitmap font that
// comes in a few sizes only and cannot follow a HiDPI screen.
QFont family(int pointSize, bool bold)
{
    QFont font;
    font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(pointSize);
    font.setBold(bold);
    return font;
}

int pixels(int twips)
{
    return twips / twipsPerPixel;
}

} // namespace

QFont defaultFont()
{
    return family(8, false);
}

QFont font(Font kind)
{
    switch (kind) {
    case Font::Bold12:
        return family(12, true);
    case Font::Bold18:
        return family(18, true);
    case Font::Default:
        break;
    }
    return defaultFont();
}

void apply(const std::vector<Control> &controls)
{
    std::vector<const Control *> tabChain;
    for (const Control &control : controls) {
        control.widget->setGeometry(pixels(control.left), pixels(control.top),
                                    pixels(control.width), pixels(control.height));
        control.widget->setFont(font(control.font));
        if (control.tabIndex != noTabIndex)
            tabChain.push_back(&control);
    }
    std::stable_sort(tabChain.begin(), tabChain.end(),
                     [](const Control *a, const Control *b) { return a->tabIndex < b->tabIndex; });
    for (std::size_t i = 1; i < tabChain.size(); ++i)
        QWidget::setTabOrder(tabChain[i - 1]->widget, tabChain[i]->widget);
}

} // namespace controlplacement
