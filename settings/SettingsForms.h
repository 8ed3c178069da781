#pragma once

#include <QList>
#include <QString>
#include <utility>

class QAbstractButton;
class QComboBox;
class QFormLayout;
class QGroupBox;
class QLabel;
class QLayout;
class QWidget;

namespace qw::SettingsForms {

// The building blocks every page uses, so that the pages look alike.

// A wrapped explanatory line.
QLabel* note(QWidget* parent);
// A value the user may select and copy (never a key or a text read from a field).
QLabel* value(QWidget* parent);
// A titled group with a form layout inside.
QFormLayout* group(QGroupBox*& box, QWidget* parent);
// Sets a control's visible text and the name a screen reader announces together.
void setText(QAbstractButton* button, const QString& text);
void setText(QGroupBox* box, const QString& text);
// Names a control for screen readers (its form label is not announced with it).
void name(QWidget* widget, const QString& text);
// Refills a picker when its labels changed (a new interface language) and selects `current`;
// filling it never counts as the user's choice.
void fill(QComboBox* picker, const QList<std::pair<QString, int>>& items, int current);

} // namespace qw::SettingsForms
