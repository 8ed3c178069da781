#include "bubble/TranslationTextView.h"

#include <QEvent>
#include <QScrollBar>
#include <QTextDocument>
#include <cmath>
#include <memory>

namespace qw {

namespace {
// Below this many lines the view scrolls instead of shrinking further.
constexpr int kMinimumLines = 3;
} // namespace

TranslationTextView::TranslationTextView(QWidget* parent) : QTextEdit(parent)
{
    setReadOnly(true);
    setAcceptRichText(false);
    setTextInteractionFlags(Qt::TextSelectableByMouse);
    // A click selects text but does not move the keyboard focus (the panel never takes it).
    setFocusPolicy(Qt::TabFocus);
    setFrameShape(QFrame::NoFrame);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    viewport()->setAutoFillBackground(false);
    document()->setDocumentMargin(0);
}

void TranslationTextView::setTranslation(const QString& text)
{
    if (toPlainText() == text)
        return;
    setPlainText(text);
    m_heights.clear();
    updateGeometry();
}

void TranslationTextView::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        m_heights.clear();
    QTextEdit::changeEvent(event);
}

int TranslationTextView::heightForWidth(int width) const
{
    if (const auto known = m_heights.constFind(width); known != m_heights.constEnd())
        return *known;
    // Measured on a copy: laying out the shown document at another width would disturb it.
    std::unique_ptr<QTextDocument> measure(document()->clone());
    measure->setDefaultFont(font());
    const int frame = 2 * frameWidth();
    measure->setTextWidth(std::max(1, width - frame));
    const int height = static_cast<int>(std::ceil(measure->size().height())) + frame;
    if (m_heights.size() >= 16)
        m_heights.clear();
    m_heights.insert(width, height);
    return height;
}

int TranslationTextView::minimumHeight() const
{
    const int lines = fontMetrics().lineSpacing() * kMinimumLines + 2 * frameWidth();
    return std::min(lines, heightForWidth(std::max(1, width())));
}

QSize TranslationTextView::sizeHint() const
{
    const int width = QTextEdit::sizeHint().width();
    return {width, heightForWidth(width)};
}

QSize TranslationTextView::minimumSizeHint() const
{
    return {0, minimumHeight()};
}

} // namespace qw
