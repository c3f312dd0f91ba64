// Coloured status indicators of the status bar (a shape and its caption label).
//
// The indicator colours are kept as Windows colour values (0x00BBGGRR) because that is how
// technicians and the event table talk about them: green is 65280, red is 255. The value is
// stored on the widget as the dynamic property "colourValue" so that tests and people
// inspecting the window can read it back without decoding a palette.
#pragma once

#include <QColor>
#include <QFrame>

namespace kelo::testapp {

inline constexpr int kColourGreen = 65280;
inline constexpr int kColourRed = 255;

// Converts a Windows colour value (0x00BBGGRR) to a QColor.
QColor ColourFromWindowsValue(int value);

// Paints the background of `widget` with the Windows colour `value` and remembers the value.
void SetIndicatorColour(QWidget* widget, int value);

// The value last given to SetIndicatorColour, or -1 when none was set.
int IndicatorColour(const QWidget* widget);

// The "shape" of an indicator: a small filled rectangle.
class IndicatorShape : public QFrame {
  Q_OBJECT
 public:
  explicit IndicatorShape(QWidget* parent = nullptr);
  QSize sizeHint() const override { return QSize(18, 14); }
};

}  // namespace kelo::testapp
