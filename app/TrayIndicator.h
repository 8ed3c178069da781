#pragma once

#include <QIcon>
#include <QObject>
#include <QString>

class QMenu;
class QSystemTrayIcon;

namespace qw {

// The tray icon: a monochrome glyph in the panel's text colour, with a dot in its corner while
// something blocks translation, and the runtime status as its tooltip. The icon is touched only
// when the status text changes, so a model change that leaves the status alone costs nothing.
class TrayIndicator : public QObject {
    Q_OBJECT

public:
    explicit TrayIndicator(QMenu* menu, QObject* parent = nullptr);
    ~TrayIndicator() override;

    // Whether the desktop shows tray icons at all (a StatusNotifierItem watcher or an XEmbed
    // tray); without one the program runs on without an icon.
    static bool desktopHasTray();

    void show();
    void hide();
    bool isVisible() const;

    // "织语 · <status>" ("Quillweave · <status>" in English): applied only when it differs from the last one
    // applied. Returns whether the icon was touched.
    bool update(const QString& status, bool blockingIssue);
    // The interface language changed: the tooltip goes back to its generic text until the next
    // status change replaces it.
    void relocalize();

    const QString& lastState() const { return m_lastState; }
    bool showsBadge() const { return m_badge; }

    // The glyph drawn in `glyph` colour at the usual tray sizes, badged or not.
    static QIcon icon(const QColor& glyph, bool badge);

Q_SIGNALS:
    // A left click on the icon (the menu opens on a right click).
    void activated();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void applyIcon();

    QSystemTrayIcon* m_tray;
    QString m_lastState;
    bool m_badge = false;
};

} // namespace qw
