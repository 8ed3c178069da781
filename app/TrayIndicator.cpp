#include "app/TrayIndicator.h"

#include "app/TrayGlyph.h"
#include "l10n/L10n.h"

#include <QEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QPainter>
#include <QPalette>
#include <QSystemTrayIcon>

namespace qw {

namespace {

QColor panelTextColour()
{
    return QGuiApplication::palette().color(QPalette::Active, QPalette::WindowText);
}

} // namespace

TrayIndicator::TrayIndicator(QMenu* menu, QObject* parent)
    : QObject(parent), m_tray(new QSystemTrayIcon(this))
{
    m_tray->setContextMenu(menu);
    relocalize();
    applyIcon();
    connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            Q_EMIT activated();
    });
    // The glyph follows the theme: dark on a light panel, light on a dark one.
    qGuiApp->installEventFilter(this);
}

bool TrayIndicator::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == qGuiApp && event->type() == QEvent::ApplicationPaletteChange)
        applyIcon();
    return false;
}

TrayIndicator::~TrayIndicator() = default;

bool TrayIndicator::desktopHasTray()
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TrayIndicator::show()
{
    m_tray->show();
}

void TrayIndicator::hide()
{
    m_tray->hide();
}

bool TrayIndicator::isVisible() const
{
    return m_tray->isVisible();
}

bool TrayIndicator::update(const QString& status, bool blockingIssue)
{
    const QString state = L10n::text(L10N_KEY("Quillweave")) + QStringLiteral(" \u00B7 ") + status;
    if (state == m_lastState)
        return false;
    m_lastState = state;
    m_badge = blockingIssue;
    applyIcon();
    m_tray->setToolTip(state);
    return true;
}

void TrayIndicator::relocalize()
{
    m_tray->setToolTip(L10n::text(L10N_KEY("Quillweave · 翻译状态")));
}

void TrayIndicator::applyIcon()
{
    m_tray->setIcon(icon(panelTextColour(), m_badge));
}

QIcon TrayIndicator::icon(const QColor& glyph, bool badge)
{
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(size / TrayGlyph::side, size / TrayGlyph::side);
        painter.fillPath(TrayGlyph::outline(), glyph);
        if (badge) {
            // The dot sits in the top-right corner, cut out of the glyph so it reads on any panel.
            painter.setCompositionMode(QPainter::CompositionMode_Clear);
            painter.setPen(Qt::NoPen);
            painter.setBrush(Qt::black);
            painter.drawEllipse(QRectF(11.5, -0.5, 7, 7));
            painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
            painter.setBrush(glyph);
            painter.drawEllipse(QRectF(12.5, 0.5, 5, 5));
        }
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace qw
