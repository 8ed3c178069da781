#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

namespace qw {

// Stands in the panel's content slot until the translation content exists: one line of text
// and one button, enough to see the panel's frame and to click into it.
class BubblePlaceholderContent final : public QWidget {
    Q_OBJECT
public:
    explicit BubblePlaceholderContent(QWidget* parent = nullptr);

    // The header's title while this content is shown.
    static QString title();

    QLabel* body() const { return m_body; }
    QPushButton* button() const { return m_button; }

private:
    QLabel* m_body;
    QPushButton* m_button;
};

} // namespace qw
