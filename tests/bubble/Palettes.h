#pragma once

#include <QColor>
#include <QPalette>

namespace qw::test {

// A dark desktop palette, as a dark theme gives it to Qt programs.
inline QPalette darkPalette()
{
    QPalette dark;
    const QColor window(0x2d, 0x2d, 0x30), text(0xe8, 0xe8, 0xe8), base(0x1e, 0x1e, 0x20);
    dark.setColor(QPalette::Window, window);
    dark.setColor(QPalette::WindowText, text);
    dark.setColor(QPalette::Base, base);
    dark.setColor(QPalette::Text, text);
    dark.setColor(QPalette::Button, QColor(0x3a, 0x3a, 0x3e));
    dark.setColor(QPalette::ButtonText, text);
    dark.setColor(QPalette::Highlight, QColor(0x35, 0x84, 0xe4));
    dark.setColor(QPalette::HighlightedText, Qt::white);
    dark.setColor(QPalette::Light, QColor(0x50, 0x50, 0x55));
    dark.setColor(QPalette::Midlight, QColor(0x44, 0x44, 0x48));
    dark.setColor(QPalette::Mid, QColor(0x30, 0x30, 0x33));
    dark.setColor(QPalette::Dark, QColor(0x20, 0x20, 0x22));
    dark.setColor(QPalette::Shadow, Qt::black);
    return dark;
}

} // namespace qw::test
