// Small constructors for the controls of the panels: each control gets its control name as
// objectName, so tests and people can find it.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace kelo::testapp {

QPushButton* NewButton(const char* name, const QString& caption, QWidget* parent);
QLineEdit* NewEdit(const char* name, const QString& text, QWidget* parent);
// A drop-down list holding `items`, the first selected; `editable` lets the user type text.
QComboBox* NewCombo(const char* name, const QStringList& items, QWidget* parent,
                    bool editable = false);
QCheckBox* NewCheck(const char* name, const QString& caption, QWidget* parent);
QLabel* NewLabel(const QString& text, QWidget* parent, const char* name = nullptr);

// Runs `action` when `widget` is double-clicked (line edits have no such signal).
void OnDoubleClick(QWidget* widget, std::function<void()> action);

// The current date and time as "DDMMYYYYhhmm".
QString NowDateTimeText();

// Text of a line edit as UTF-8.
std::string Utf8(const QLineEdit* edit);
std::string Utf8(const QString& text);

// A whole number typed by the user (blanks around allowed); nullopt when it is none.
std::optional<int32_t> WholeNumberField(const QString& text);

}  // namespace kelo::testapp
