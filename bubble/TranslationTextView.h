#pragma once

#include <QHash>
#include <QTextEdit>

namespace qw {

// The translation: read-only, selectable with the mouse, as tall as its text at the width it is
// given. When the panel reaches its height limit the layout gives it less and it scrolls.
class TranslationTextView final : public QTextEdit {
    Q_OBJECT
public:
    explicit TranslationTextView(QWidget* parent = nullptr);

    void setTranslation(const QString& text);

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void changeEvent(QEvent* event) override;

private:
    // A few lines, or the whole text when it is shorter.
    int minimumHeight() const;

    // Heights already measured for the shown text, by width: one layout pass asks for the same
    // widths several times, and each measure lays the whole text out again.
    mutable QHash<int, int> m_heights;
};

} // namespace qw
