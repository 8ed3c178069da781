#include "bubble/BubblePlaceholderContent.h"

#include "l10n/L10n.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace qw {

BubblePlaceholderContent::BubblePlaceholderContent(QWidget* parent)
    : QWidget(parent), m_body(new QLabel(L10n::text(L10N_KEY("正在生成译文…")), this)),
      m_button(new QPushButton(L10n::text(L10N_KEY("复制")), this))
{
    m_body->setWordWrap(true);
    m_body->setTextFormat(Qt::PlainText);
    m_button->setAccessibleName(m_button->text());
    m_button->setFocusPolicy(Qt::TabFocus);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_button);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(m_body);
    column->addLayout(buttons);
}

QString BubblePlaceholderContent::title()
{
    return L10n::text(L10N_KEY("输入翻译"));
}

} // namespace qw
