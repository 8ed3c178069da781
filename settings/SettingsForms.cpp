#include "settings/SettingsForms.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>

namespace qw::SettingsForms {

QLabel* note(QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

QLabel* value(QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    return label;
}

QFormLayout* group(QGroupBox*& box, QWidget* parent)
{
    box = new QGroupBox(parent);
    auto* form = new QFormLayout(box);
    form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
    form->setRowWrapPolicy(QFormLayout::WrapLongRows);
    form->setLabelAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return form;
}

void setText(QAbstractButton* button, const QString& text)
{
    button->setText(text);
    button->setAccessibleName(text);
}

void setText(QGroupBox* box, const QString& text)
{
    box->setTitle(text);
    box->setAccessibleName(text);
}

void name(QWidget* widget, const QString& text)
{
    widget->setAccessibleName(text);
}

void fill(QComboBox* picker, const QList<std::pair<QString, int>>& items, int current)
{
    const QSignalBlocker quiet(picker);
    bool same = picker->count() == items.size();
    for (int i = 0; same && i < items.size(); ++i)
        same = picker->itemText(i) == items[i].first && picker->itemData(i).toInt() == items[i].second;
    // An open list stays open unless its labels changed.
    if (!same) {
        picker->clear();
        for (const auto& [text, data] : items)
            picker->addItem(text, data);
    }
    picker->setCurrentIndex(picker->findData(current));
}

} // namespace qw::SettingsForms
