// The colours and fonts that the windows share.
#pragma once

#include <QColor>

class QWidget;

namespace korvane::ui {

inline const QColor kMaroon{0x80, 0x00, 0x00};
inline const QColor kBlue{0x00, 0x00, 0xFF};
inline const QColor kRed{0xFF, 0x00, 0x00};
inline const QColor kGreen{0x00, 0x80, 0x00};

// Sets the colour of a widget's own text (labels, group captions, button texts).
void SetTextColor(QWidget* widget, const QColor& color);
// Gives a widget a font of the given height in pixels, keeping the family.
void SetPixelFont(QWidget* widget, int pixels);

}  // namespace korvane::ui
