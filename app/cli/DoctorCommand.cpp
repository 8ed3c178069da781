#include "app/cli/DoctorCommand.h"

#include "accessibility/AXWorker.h"
#include "core/Delay.h"
#include "core/QtTimerSource.h"
#include "l10n/L10n.h"
#include "platform/DesktopDiagnostics.h"
#include "platform/LinuxDesktop.h"

namespace qw {

namespace {

struct Arguments {
    bool enable = false;
    std::chrono::seconds wait{0};
};

std::optional<Arguments> parse(const QStringList& words)
{
    Arguments arguments;
    for (qsizetype i = 0; i < words.size(); ++i) {
        if (words.at(i) == u"enable" && !arguments.enable) {
            arguments.enable = true;
        } else if (words.at(i) == u"wait" && i + 1 < words.size()) {
            bool ok = false;
            const int seconds = words.at(++i).toInt(&ok);
            if (!ok || seconds < 0 || seconds > 60)
                return std::nullopt;
            arguments.wait = std::chrono::seconds(seconds);
        } else {
            return std::nullopt;
        }
    }
    return arguments;
}

// The keyring line; counts it as a problem unless keys can be stored and read silently.
QString keyringLine(const KeyringHealth& keyring, int& problems)
{
    // clang-format off
    switch (keyring.state) {
    case KeyringHealth::State::unlocked:
        return L10n::text(L10N_KEY("密钥环：Secret Service 可用，默认密钥环已解锁"));
    case KeyringHealth::State::locked:
        ++problems;
        return L10n::text(L10N_KEY("密钥环：默认密钥环已锁定，后台翻译无法读取密钥。请在密钥环管理器（“密码和密钥”或 KWalletManager）中解锁，或运行 quillweave key authorize。"));
    case KeyringHealth::State::noDefaultCollection:
        ++problems;
        return L10n::text(L10N_KEY("密钥环：Secret Service 可用，但没有默认密钥环。保存第一个密钥时会请求创建（需要为它设置密码），也可以在密钥环管理器中创建。"));
    case KeyringHealth::State::noService:
        ++problems;
        return L10n::text(L10N_KEY("密钥环：会话总线上没有 Secret Service。请启动 gnome-keyring（gnome-keyring-daemon --start --components=secrets）或 KWallet，然后重新运行 quillweave doctor。"));
    case KeyringHealth::State::failed:
        ++problems;
        return L10n::format(L10N_KEY("密钥环：查询失败（%@）。请重新启动 gnome-keyring 或 KWallet。"),
                            {QString::number(keyring.status)});
    }
    // clang-format on
    return {};
}

} // namespace

QStringList DoctorCommand::reportLines(const DesktopReport& report, int* problems)
{
    QStringList lines;
    int count = 0;
    switch (report.session) {
    case DesktopReport::Session::x11:
        lines << L10n::text(L10N_KEY("会话：X11"));
        break;
    case DesktopReport::Session::wayland:
        // clang-format off
        lines << L10n::text(L10N_KEY("会话：Wayland。只有通过 XWayland 运行的应用能被识别为前台应用并接收粘贴按键；原生 Wayland 应用的输入框无法被跟踪。"));
        lines << L10n::text(L10N_KEY("在 Wayland 上可用：通过辅助功能（AT-SPI）读取和写入获准应用的输入框。暂不可用：全局快捷键和识别前台应用（只在 XWayland 应用位于前台时有效），请用托盘菜单和浮窗操作。"));
        // clang-format on
        ++count;
        break;
    case DesktopReport::Session::none:
        lines << L10n::text(L10N_KEY("会话：没有图形显示（未设置 DISPLAY）。请在桌面会话中运行。"));
        ++count;
        // Keys can be stored from a text console too: the keyring is still worth a line.
        lines << keyringLine(report.keyring, count);
        if (problems)
            *problems = count;
        return lines;
    }

    if (report.accessibilityBus) {
        lines << L10n::text(L10N_KEY("辅助功能总线：可用"));
    } else {
        lines << L10n::format(L10N_KEY("辅助功能总线：无法连接（%@）。请安装 at-spi2-core 并重新登录。"),
                              {report.accessibilityBusFailure});
        ++count;
    }
    if (report.accessibilityEnabled) {
        lines << L10n::text(L10N_KEY("应用辅助功能：已开启"));
    } else {
        // clang-format off
        lines << L10n::text(L10N_KEY("应用辅助功能：未开启。运行 quillweave doctor enable 开启；已在运行的 Qt 和 Chromium 应用需要重新启动。"));
        // clang-format on
        ++count;
    }
    if (!report.activeWindowSupport) {
        lines << L10n::text(
            L10N_KEY("窗口管理器：未报告活动窗口。请使用支持 _NET_ACTIVE_WINDOW 的窗口管理器。"));
        ++count;
    }

    if (report.tray == DesktopReport::Tray::absent) {
        // Not a problem to fix: everything but the icon works without one.
        // clang-format off
        lines << L10n::text(L10N_KEY("托盘：桌面没有托盘，织语不显示图标。翻译、浮窗和全局快捷键照常可用；再次运行 quillweave 可打开设置。GNOME 需要 AppIndicator 扩展才能显示托盘图标。"));
        // clang-format on
    }

    lines << keyringLine(report.keyring, count);

    // Ready means the focused field can be read: anything less is something to fix.
    if (!report.frontmost) {
        lines << L10n::text(L10N_KEY("前台应用：无法确定"));
        if (report.activeWindowSupport) // otherwise the window manager's line already counts
            ++count;
    } else {
        const QString name = report.frontmost->localizedName.value_or(L10n::text(L10N_KEY("未知应用")));
        const QString pid = QString::number(report.frontmost->pid);
        if (report.frontmost->bundleID) {
            lines << L10n::format(L10N_KEY("前台应用：%@（%@，进程 %@）"),
                                  {name, *report.frontmost->bundleID, pid});
        } else {
            lines << L10n::format(L10N_KEY("前台应用：%@（未找到桌面文件，无法加入允许列表；进程 %@）"),
                                  {name, pid});
            ++count;
        }
        // The diagnostic names the role and what can be done with the field, never its text.
        if (report.focusedFieldFound)
            lines << L10n::format(L10N_KEY("焦点输入框：%@"), {report.focusDiagnostic});
        else if (report.accessibilityBus) {
            // The reader's message tells a program that is not on the bus (restart it) from one
            // where no text field has the focus (click into one).
            lines << L10n::format(L10N_KEY("焦点输入框：未找到（%@）"), {report.focusDiagnostic});
            ++count;
        }
    }

    lines << (count == 0 ? L10n::text(L10N_KEY("一切就绪。"))
                         : L10n::format(L10N_KEY("有 %@ 项需要处理。"), {QString::number(count)}));
    if (problems)
        *problems = count;
    return lines;
}

QCoro::Task<int> DoctorCommand::run(QStringList arguments)
{
    // Built only for this command: the desktop connections are not needed by the others.
    LinuxDesktop desktop;
    AXWorker worker(desktop.platform());
    DesktopDiagnostics diagnostics(desktop, worker);
    QtTimerSource timers;
    Desktop real;
    real.collect = [&diagnostics] {
        return diagnostics.collect();
    };
    real.enable = [&diagnostics] {
        return diagnostics.enableAccessibility();
    };
    real.wait = [&timers](std::chrono::seconds seconds) -> QCoro::Task<void> {
        co_await delay(timers, seconds);
    };
    auto task = run(std::move(arguments), std::move(real));
    co_return co_await task;
}

QCoro::Task<int> DoctorCommand::run(QStringList words, Desktop desktop)
{
    const auto arguments = parse(words);
    if (!arguments) {
        m_err << L10n::text(L10N_KEY("用法：quillweave doctor [enable] [wait <秒>]")) << Qt::endl;
        co_return ExitStatus::usage;
    }
    if (arguments->enable) {
        auto enable = desktop.enable();
        const bool enabled = co_await enable;
        m_out << (enabled ? L10n::text(L10N_KEY("已请求开启应用辅助功能。"))
                          : L10n::text(L10N_KEY("无法开启应用辅助功能。")))
              << Qt::endl;
    }
    if (arguments->wait.count() > 0) {
        auto wait = desktop.wait(arguments->wait);
        co_await wait;
    }
    auto collect = desktop.collect();
    const DesktopReport report = co_await collect;
    int problems = 0;
    for (const QString& line : reportLines(report, &problems))
        m_out << line << Qt::endl;
    co_return problems == 0 ? ExitStatus::success : ExitStatus::failure;
}

} // namespace qw
