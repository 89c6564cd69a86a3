#pragma once

#include <QFont>
#include <QWidget>

#include <vector>

// The window is described as a table of controls in twips, the unit its
// layout was drawn in; this turns such a table into widget geometry, fonts
// and a tab chain. Sizes stay device-independent pixels so that HiDPI
// scaling remains Qt's business.
namespace controlplacement {

constexpr int twipsPerPixel = 15;

enum class Font { Default, Bold12, Bold18 };

// No tab stop for controls that never take the keyboard focus.
constexpr int noTabIndex = -1;

struct Control
{
    QWidget *widget;
    // Twips, relative to the widget's parent.
    int left;
    int top;
    int width;
    int height;
    Font font;
    int tabIndex;
};

// The window's default font: small and regular, in the same family order.
QFont defaultFont();
QFont font(Font kind);

// Places every control, gives it its font and links the tab chain in the
// order of the tab indices.
void apply(const std::vector<Control> &controls);

} // namespace controlplacement
