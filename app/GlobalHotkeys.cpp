#include "app/GlobalHotkeys.h"

#include "l10n/L10n.h"

#include <QMetaObject>
#include <QPointer>

namespace qw {

namespace {

// Statuses are shown as signed decimal numbers, never grouped: they are codes, not amounts.
QString statusText(HotkeyService::Status status)
{
    return QString::number(status);
}

} // namespace

KeyCombination GlobalHotkeys::combination(Id id, HotkeyPreset preset)
{
    const Qt::KeyboardModifiers controlAlt = Qt::ControlModifier | Qt::AltModifier;
    switch (id) {
    case Id::translate:
        return {Qt::Key_T,
                preset == HotkeyPreset::controlOptionShiftT ? controlAlt | Qt::ShiftModifier : controlAlt};
    case Id::restore:
        return {Qt::Key_Z, controlAlt};
    case Id::ignoreToday:
        return {Qt::Key_I, controlAlt};
    case Id::revoke:
        return {Qt::Key_I, controlAlt | Qt::ShiftModifier};
    }
    return {};
}

GlobalHotkeys::GlobalHotkeys(HotkeyService& service, QObject* parent) : QObject(parent), m_service(service) {}

GlobalHotkeys::~GlobalHotkeys()
{
    unregister();
}

HotkeyService::Status GlobalHotkeys::registerOne(Id id, HotkeyPreset preset)
{
    const HotkeyService::Status status =
        m_service.registerHotkey({signature, quint32(id)}, combination(id, preset));
    m_registered[index(id)] = status == 0;
    return status;
}

void GlobalHotkeys::unregisterOne(Id id)
{
    if (!isRegistered(id))
        return;
    m_service.unregisterHotkey({signature, quint32(id)});
    m_registered[index(id)] = false;
}

QString GlobalHotkeys::configure(bool enabled, HotkeyPreset preset, bool appActionsEnabled)
{
    unregister();
    if (!enabled)
        return L10n::text(L10N_KEY("全局快捷键已关闭"));

    // The platform may report a press from its own event handling; the press is only queued
    // here, and dropped when this object is gone by the time the queue reaches it.
    QPointer<GlobalHotkeys> self(this);
    const auto onPressed = [self](HotkeyIdentifier pressed) {
        if (!self || pressed.signature != signature)
            return false;
        const quint32 id = pressed.id;
        QMetaObject::invokeMethod(
            self.data(), [self, id] { self->handle(id); }, Qt::QueuedConnection);
        return true;
    };
    const auto onLost = [self] {
        if (!self)
            return;
        QMetaObject::invokeMethod(
            self.data(),
            [self] {
                if (self->onRegistrationLost)
                    self->onRegistrationLost();
            },
            Qt::QueuedConnection);
    };
    const HotkeyService::Status handlerStatus = m_service.installHandler(onPressed, onLost);
    if (handlerStatus != 0) {
        unregister();
        return L10n::format(L10N_KEY("快捷键事件处理器初始化失败（%@）"), {statusText(handlerStatus)});
    }
    m_handlerInstalled = true;

    const HotkeyService::Status translateStatus = registerOne(Id::translate, preset);
    const HotkeyService::Status restoreStatus = registerOne(Id::restore, preset);
    if (translateStatus != 0 || restoreStatus != 0) {
        unregister();
        return L10n::format(L10N_KEY("热键被其他应用占用或系统拒绝（%@、%@）；请切换组合键或关闭快捷键"),
                            {statusText(translateStatus), statusText(restoreStatus)});
    }

    const QString label = hotkeyPresetLabel(preset);
    if (!appActionsEnabled)
        return L10n::format(L10N_KEY("已启用 %@ 翻译，⌃⌥Z 恢复原文；替换需点击确认"), {label});

    const HotkeyService::Status ignoreStatus = registerOne(Id::ignoreToday, preset);
    const HotkeyService::Status revokeStatus = registerOne(Id::revoke, preset);
    if (ignoreStatus != 0 || revokeStatus != 0) {
        // The translation hotkeys stay: a conflict of the optional ones must not take them down.
        unregisterOne(Id::ignoreToday);
        unregisterOne(Id::revoke);
        return L10n::format(
            L10N_KEY(
                "翻译与恢复快捷键仍可用；应用操作快捷键冲突（%@、%@），请使用浮窗菜单或关闭应用操作快捷键"),
            {statusText(ignoreStatus), statusText(revokeStatus)});
    }
    m_appActionsRegistered = true;
    return L10n::format(L10N_KEY("已启用 %@ 翻译、⌃⌥Z 恢复、⌃⌥I 今日忽略、⌃⌥⇧I 取消授权（需确认）"), {label});
}

void GlobalHotkeys::unregister()
{
    for (Id id : {Id::translate, Id::restore, Id::ignoreToday, Id::revoke})
        unregisterOne(id);
    if (m_handlerInstalled)
        m_service.removeHandler();
    m_handlerInstalled = false;
    m_appActionsRegistered = false;
}

void GlobalHotkeys::handle(quint32 id)
{
    const std::function<void()>* callback = nullptr;
    switch (Id(id)) {
    case Id::translate:
        callback = &onAction;
        break;
    case Id::restore:
        callback = &onUndo;
        break;
    case Id::ignoreToday:
        callback = &onIgnoreToday;
        break;
    case Id::revoke:
        callback = &onRevoke;
        break;
    default:
        return;
    }
    if (*callback)
        (*callback)();
}

} // namespace qw
