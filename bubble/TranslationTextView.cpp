#include "bubble/TranslationTextView.h"

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
    updateGeometry();
}

int TranslationTextView::heightForWidth(int width) const
{
    // Measured on a copy: laying out the shown document at another width would disturb it.
    std::unique_ptr<QTextDocument> measure(document()->clone());
    measure->setDefaultFont(font());
    const int frame = 2 * frameWidth();
    measure->setTextWidth(std::max(1, width - frame));
    return static_cast<int>(std::ceil(measure->size().height())) + frame;
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
