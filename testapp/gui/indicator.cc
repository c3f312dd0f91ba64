#include "testapp/gui/indicator.h"

#include <QPalette>
#include <QVariant>

namespace kelo::testapp {

QColor ColourFromWindowsValue(int value) {
  return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

void SetIndicatorColour(QWidget* widget, int value) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::Window, ColourFromWindowsValue(value));
  widget->setPalette(palette);
  widget->setAutoFillBackground(true);
  widget->setProperty("colourValue", value);
}

int IndicatorColour(const QWidget* widget) {
  const QVariant value = widget->property("colourValue");
  return value.isValid() ? value.toInt() : -1;
}

IndicatorShape::IndicatorShape(QWidget* parent) : QFrame(parent) {
  setFrameShape(QFrame::Box);
  setMinimumSize(18, 14);
}

}  // namespace kelo::testapp
