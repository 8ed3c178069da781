#include "app/QuickMenu.h"

#include "engine/CredentialState.h"
#include "engine/TranslationLanguage.h"
#include "engine/TranslationMode.h"
#include "l10n/L10n.h"
#include "model/AppModel.h"
#include "settings/LoginStartup.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QPainter>
#include <QPixmap>

namespace qw {

namespace {

// Separators are written as they stand, never looked up.
const QString colon = QStringLiteral("\uFF1A");
const QString dot = QStringLiteral(" \u00B7 ");
const QString arrow = QStringLiteral(" \u2192 ");

} // namespace

QuickMenu::QuickMenu(AppModel& model, LoginStartup& startup, OpenSettings openSettings,
                     std::function<void()> quit, QObject* parent)
    : QObject(parent), m_model(model), m_startup(startup), m_openSettings(std::move(openSettings)),
      m_quit(std::move(quit)), m_menu(std::make_unique<QMenu>())
{
    connect(m_menu.get(), &QMenu::aboutToShow, this, &QuickMenu::menuNeedsUpdate);
}

QuickMenu::~QuickMenu() = default;

QIcon QuickMenu::statusImage(bool authorized)
{
    QIcon icon;
    for (const qreal ratio : {1.0, 2.0}) {
        QPixmap pixmap(QSize(12, 12) * ratio);
        pixmap.setDevicePixelRatio(ratio);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(authorized ? QColor(0x34, 0xc7, 0x59) : QColor(0xff, 0xcc, 0x00));
        painter.drawEllipse(QRectF(2, 2, 8, 8));
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

void QuickMenu::menuNeedsUpdate()
{
    m_model.takeFrontmostApplication();
    m_model.refreshPermissionStatus();
    m_startup.refresh();
    rebuild();
}

void QuickMenu::rebuild()
{
    m_menu->clear();
    m_submenus.clear();
    addStatusRows();
    m_menu->addSeparator();
    addTranslationRows();
    m_menu->addSeparator();
    addApplicationRows();
    addLoginStartupRows();
    m_menu->addSeparator();
    QAction* quit = addItem(m_menu.get(), L10n::text(L10N_KEY("退出")), true, Mark::none, m_quit);
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
}

QAction* QuickMenu::addItem(QMenu* menu, const QString& title, bool enabled, Mark mark,
                            std::function<void()> run)
{
    QAction* action = menu->addAction(title);
    action->setEnabled(enabled);
    switch (mark) {
    case Mark::none:
        break;
    case Mark::authorized:
    case Mark::unauthorized:
        action->setIcon(statusImage(mark == Mark::authorized));
        break;
    case Mark::checked:
    case Mark::unchecked:
        action->setCheckable(true);
        action->setChecked(mark == Mark::checked);
        break;
    }
    if (run)
        connect(action, &QAction::triggered, action, [run = std::move(run)] { run(); });
    return action;
}

QMenu* QuickMenu::submenu(const QString& title, QMenu* parent)
{
    // Owned here rather than by the parent menu, whose clear() leaves submenus alive.
    QMenu* menu = m_submenus.emplace_back(std::make_unique<QMenu>(title)).get();
    (parent ? parent : m_menu.get())->addMenu(menu);
    return menu;
}

void QuickMenu::addStatusRows()
{
    QAction* settings = addItem(m_menu.get(), L10n::text(L10N_KEY("打开织语设置…")), true, Mark::none,
                                [this] { m_openSettings(SettingsSection::general); });
    settings->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    addItem(m_menu.get(), L10n::text(L10N_KEY("状态")) + colon + m_model.runtimeStatus(), false);

    if (!m_model.permissionGranted()) {
        addItem(m_menu.get(), L10n::text(L10N_KEY("授予辅助功能权限")) + dot + L10n::text(L10N_KEY("未授权")),
                true, Mark::unauthorized, [this] { m_model.requestPermission(); });
    } else if (!m_model.providerReady() || !m_model.cloudConsent() || m_model.serviceFailure()) {
        addItem(m_menu.get(), L10n::text(L10N_KEY("配置翻译服务…")), true, Mark::none,
                [this] { m_openSettings(SettingsSection::models); });
    }

    if (!(m_model.hasAPIKey() && m_model.credentialState() == CredentialState::accessible)) {
        addItem(m_menu.get(), L10n::text(L10N_KEY("授权apikey")) + dot + m_model.apiKeyAuthorizationLabel(),
                !m_model.isAuthorizingKey(), Mark::unauthorized, [this] {
                    if (m_model.hasAPIKey())
                        m_model.authorizeCredential();
                    else
                        m_openSettings(SettingsSection::models);
                });
    }
}

void QuickMenu::addTranslationRows()
{
    const bool input = m_model.inputTranslationEnabled();
    addItem(m_menu.get(), L10n::text(L10N_KEY("输入翻译")), true, input ? Mark::checked : Mark::unchecked,
            [this] {
                static_cast<void>(m_model.setInputTranslationEnabled(!m_model.inputTranslationEnabled()));
            });

    QMenu* modes = submenu(L10n::text(L10N_KEY("输入模式")) + colon + label(m_model.inputTranslationMode()));
    modes->menuAction()->setEnabled(input);
    for (const TranslationMode mode : allTranslationModes()) {
        addItem(modes, label(mode), true,
                mode == m_model.inputTranslationMode() ? Mark::checked : Mark::unchecked,
                [this, mode] { static_cast<void>(m_model.setInputTranslationMode(mode)); });
    }
    languages(false);

    const bool page = m_model.pageTranslationEnabled();
    addItem(
        m_menu.get(), L10n::text(L10N_KEY("页面翻译")), true, page ? Mark::checked : Mark::unchecked,
        [this] { static_cast<void>(m_model.setPageTranslationEnabled(!m_model.pageTranslationEnabled())); });
    languages(true);
}

void QuickMenu::languages(bool page)
{
    const TranslationLanguage source = page ? m_model.pageSourceLanguage() : m_model.inputSourceLanguage();
    const TranslationLanguage target = page ? m_model.pageTargetLanguage() : m_model.inputTargetLanguage();
    const QString title = page ? L10n::text(L10N_KEY("页面语言")) : L10n::text(L10N_KEY("输入语言"));
    QMenu* pair = submenu(title + colon + label(source) + arrow + label(target));
    pair->menuAction()->setEnabled(page ? m_model.pageTranslationEnabled()
                                        : m_model.inputTranslationEnabled());

    QMenu* sources = submenu(L10n::text(L10N_KEY("源语言")), pair);
    for (const TranslationLanguage language : allTranslationLanguages()) {
        addItem(sources, label(language), true, language == source ? Mark::checked : Mark::unchecked,
                [this, page, language] {
                    static_cast<void>(page ? m_model.setPageSourceLanguage(language)
                                           : m_model.setInputSourceLanguage(language));
                });
    }
    QMenu* targets = submenu(L10n::text(L10N_KEY("目标语言")), pair);
    for (const TranslationLanguage language : translationTargets()) {
        addItem(targets, label(language), true, language == target ? Mark::checked : Mark::unchecked,
                [this, page, language] {
                    static_cast<void>(page ? m_model.setPageTargetLanguage(language)
                                           : m_model.setInputTargetLanguage(language));
                });
    }
}

void QuickMenu::addApplicationRows()
{
    const QString bundle = m_model.currentBundle();
    addItem(m_menu.get(), L10n::text(L10N_KEY("当前应用")) + colon + m_model.currentApp(), false);

    const TranslationApplication app = m_model.applicationIdentity(bundle);
    const bool allowed = m_model.allowedBundleIDs().contains(bundle);
    if (allowed) {
        addItem(m_menu.get(), L10n::text(L10N_KEY("应用授权")) + dot + L10n::text(L10N_KEY("已授权")), false,
                Mark::authorized);
        if (m_model.isAppIgnoredToday(bundle)) {
            addItem(m_menu.get(), L10n::text(L10N_KEY("恢复翻译")), true, Mark::none,
                    [this, bundle] { static_cast<void>(m_model.resumeApp(bundle)); });
        } else {
            addItem(m_menu.get(), L10n::text(L10N_KEY("今日忽略此应用")), true, Mark::none,
                    [this, app] { static_cast<void>(m_model.ignoreAppToday(app)); });
        }
    } else {
        addItem(m_menu.get(), L10n::text(L10N_KEY("允许授权此应用")) + dot + L10n::text(L10N_KEY("未授权")),
                !bundle.isEmpty(), Mark::unauthorized,
                [this, app] { static_cast<void>(m_model.requestAllowApplication(app)); });
    }

    QMenu* permissions = submenu(L10n::text(L10N_KEY("应用翻译权限")));
    addItem(permissions, L10n::text(L10N_KEY("管理应用…")), true, Mark::none,
            [this] { m_openSettings(SettingsSection::applications); });
    addItem(permissions, L10n::text(L10N_KEY("取消本应用授权…")), allowed, Mark::none, [this, app] {
        const auto& confirm = m_model.callbacks().onRevokeConfirmationRequested;
        if (m_model.allowedBundleIDs().contains(app.bundleID) && confirm)
            confirm(app);
    });
}

void QuickMenu::addLoginStartupRows()
{
    if (m_startup.status() == LoginItemStatus::enabled || m_startup.dismissed() ||
        !m_model.readyForLoginGuidance())
        return;
    m_menu->addSeparator();
    QMenu* login = submenu(L10n::text(L10N_KEY("登录时启动")) + colon + m_startup.label());
    addItem(login, L10n::text(L10N_KEY("开启")), true, Mark::none, [this] {
        m_startup.setEnabled(true);
        m_openSettings(SettingsSection::general);
    });
    addItem(login, L10n::text(L10N_KEY("暂不提醒")), true, Mark::none,
            [this] { static_cast<void>(m_startup.setDismissed(true)); });
}

} // namespace qw
