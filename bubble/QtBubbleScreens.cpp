#include "bubble/QtBubbleScreens.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

namespace qw {

QtBubbleScreens::QtBubbleScreens()
{
    // Announced later (queued), so that the layout is read once Qt has finished updating its
    // screen list and the geometry of a new screen.
    connect(qGuiApp, &QGuiApplication::screenAdded, this, [this](QScreen* screen) {
        watch(screen);
        QMetaObject::invokeMethod(this, &QtBubbleScreens::announce, Qt::QueuedConnection);
    });
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, &QtBubbleScreens::announce, Qt::QueuedConnection);
    connect(qGuiApp, &QGuiApplication::primaryScreenChanged, this, &QtBubbleScreens::announce,
            Qt::QueuedConnection);
    for (QScreen* screen : QGuiApplication::screens())
        watch(screen);
}

void QtBubbleScreens::watch(QScreen* screen)
{
    connect(screen, &QScreen::geometryChanged, this, &QtBubbleScreens::announce, Qt::QueuedConnection);
    connect(screen, &QScreen::availableGeometryChanged, this, &QtBubbleScreens::announce,
            Qt::QueuedConnection);
}

void QtBubbleScreens::announce()
{
    if (m_onChanged)
        m_onChanged();
}

quint32 QtBubbleScreens::idForName(const QString& name)
{
    // FNV-1a: the same name gives the same id in every run and on every Qt version.
    quint32 hash = 2166136261u;
    for (const char byte : name.toUtf8()) {
        hash ^= static_cast<quint8>(byte);
        hash *= 16777619u;
    }
    return hash;
}

ScreenLayout QtBubbleScreens::layout() const
{
    ScreenLayout layout;
    for (QScreen* screen : QGuiApplication::screens()) {
        // An output without a name still needs an id of its own.
        const QString name = screen->name().isEmpty()
                                 ? QStringLiteral("#%1").arg(QGuiApplication::screens().indexOf(screen))
                                 : screen->name();
        layout.screens.push_back({idForName(name), screen->geometry(), screen->availableGeometry()});
        if (screen == QGuiApplication::primaryScreen())
            layout.mainScreenId = layout.screens.back().id;
    }
    return layout;
}

QPointF QtBubbleScreens::pointerLocation() const
{
    return QCursor::pos();
}

bool QtBubbleScreens::primaryButtonDown() const
{
    return QGuiApplication::mouseButtons().testFlag(Qt::LeftButton);
}

void QtBubbleScreens::setOnChanged(std::function<void()> onChanged)
{
    m_onChanged = std::move(onChanged);
}

} // namespace qw
