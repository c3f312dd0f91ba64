#include "testapp/gui/placeholder_panel.h"

#include <QLabel>
#include <QVBoxLayout>

namespace kelo::testapp {

PlaceholderPanel::PlaceholderPanel(const QString& formName, const QString& caption, QWidget* parent)
    : QWidget(parent) {
  setObjectName(formName);
  setWindowTitle(caption);
  auto* layout = new QVBoxLayout(this);
  auto* label = new QLabel(
      QStringLiteral("The \"%1\" panel is not available in this build.").arg(caption), this);
  label->setObjectName(QStringLiteral("lblNotAvailable"));
  label->setAlignment(Qt::AlignCenter);
  label->setWordWrap(true);
  layout->addWidget(label);
}

}  // namespace kelo::testapp
