#include "app/cli/CommandLine.h"

#include "app/cli/AppsCommand.h"
#include "app/cli/BubblePreviewCommand.h"
#include "app/cli/CliArguments.h"
#include "app/cli/DoctorCommand.h"
#include "app/cli/GuideCommand.h"
#include "app/cli/KeyCommand.h"
#include "app/cli/ProviderCommand.h"
#include "app/cli/SettingsCommand.h"
#include "app/cli/TranslateCommand.h"
#include "l10n/L10n.h"

#include <QCommandLineParser>
#include <QCoreApplication>

namespace qw {

struct CommandLine::Options {
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")}};
    QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")}};
    QCommandLineOption cloud{QStringLiteral("cloud")};
    QCommandLineOption provider{QStringLiteral("provider"), QString(), QStringLiteral("provider")};
    QCommandLineOption from{QStringLiteral("from"), QString(), QStringLiteral("language")};
    QCommandLineOption to{QStringLiteral("to"), QString(), QStringLiteral("language")};
    QCommandLineOption interfaceLanguage{QStringLiteral("interface-language"), QString(),
                                         QStringLiteral("code")};
    QCommandLineOption address{QStringLiteral("address"), QString(), QStringLiteral("url")};
    QCommandLineOption model{QStringLiteral("model"), QString(), QStringLiteral("model")};
    QCommandLineOption confirmBrowser{QStringLiteral("confirm-browser")};
    QCommandLineOption state{QStringLiteral("state"), QString(), QStringLiteral("state")};
    QCommandLineOption section{QStringLiteral("section"), QString(), QStringLiteral("section")};

    void addTo(QCommandLineParser& parser) const
    {
        parser.addOptions({help, version, cloud, provider, from, to, interfaceLanguage, address, model,
                           confirmBrowser, state, section});
    }
};

namespace {

void configure(QCommandLineParser& parser, const CommandLine::Options& options)
{
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    options.addTo(parser);
}

// The options every command takes.
const QStringList& globalOptions()
{
    static const QStringList names{QStringLiteral("h"), QStringLiteral("help"), QStringLiteral("v"),
                                   QStringLiteral("version"), QStringLiteral("interface-language")};
    return names;
}

// Each command with the options it takes besides the global ones: an option a command would
// ignore is refused rather than silently dropped.
const QHash<QString, QStringList>& commandOptions()
{
    static const QHash<QString, QStringList> table{
        {QStringLiteral("translate"),
         {QStringLiteral("cloud"), QStringLiteral("provider"), QStringLiteral("from"), QStringLiteral("to")}},
        {QStringLiteral("key"), {QStringLiteral("provider")}},
        {QStringLiteral("provider"),
         {QStringLiteral("provider"), QStringLiteral("address"), QStringLiteral("model")}},
        {QStringLiteral("consent"), {QStringLiteral("provider")}},
        {QStringLiteral("test-connection"), {QStringLiteral("provider")}},
        {QStringLiteral("apps"), {QStringLiteral("confirm-browser")}},
        {QStringLiteral("doctor"), {}},
        {QStringLiteral("bubble-preview"), {QStringLiteral("state")}},
        {QStringLiteral("settings"), {QStringLiteral("section")}},
        {QStringLiteral("guide"), {}},
    };
    return table;
}

// An option as the user wrote it, when it is safe to repeat.
QString optionText(const QString& name)
{
    const QString shown = CliArguments::repeatable(name);
    if (shown != name)
        return shown;
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

} // namespace

std::optional<InterfaceLanguage> CommandLine::interfaceLanguageOption(const QStringList& arguments)
{
    QCommandLineParser parser;
    Options options;
    configure(parser, options);
    parser.parse(arguments);
    if (!parser.isSet(options.interfaceLanguage))
        return std::nullopt;
    const auto language = CliArguments::interfaceLanguage(parser.value(options.interfaceLanguage));
    return language ? std::optional<InterfaceLanguage>(language.value()) : std::nullopt;
}

QString CommandLine::helpText()
{
    // Every key stays one literal, however long.
    // clang-format off
    QStringList lines;
    lines << L10n::text(L10N_KEY("织语：在你允许的应用里翻译你输入和选中的文字。"));
    lines << QString();
    lines << L10n::text(L10N_KEY("用法："));
    lines << QStringLiteral("  quillweave translate [--cloud] [--provider <openai|deepseek|kimi|custom>] "
                            "[--from <language>] [--to <language>] <text…|->");
    lines << QStringLiteral(
        "  quillweave key <set|delete|status|authorize> [--provider <openai|deepseek|kimi|custom>]");
    lines << QStringLiteral("  quillweave provider [set <openai|deepseek|kimi|custom>] [--provider <…>] "
                            "[--address <url>] [--model <model>]");
    lines << QStringLiteral("  quillweave consent <on|off> [--provider <…>]");
    lines << QStringLiteral("  quillweave test-connection [--provider <…>]");
    lines << QStringLiteral(
        "  quillweave apps [allow <id> [--confirm-browser]|pause <id>|resume <id>|revoke <id>]");
    lines << QStringLiteral("  quillweave doctor [enable] [wait <seconds>] | doctor disable");
    lines << QStringLiteral("  quillweave bubble-preview [--state working|ready|replaced|error|selection]");
    lines << QStringLiteral("  quillweave settings [--section general|translation|models|applications|privacy|shortcuts|diagnostics]");
    lines << QStringLiteral("  quillweave guide");
    lines << QString();
    lines << L10n::text(L10N_KEY("命令："));
    lines << QStringLiteral("  translate      ") +
                 L10n::text(L10N_KEY("翻译一段文字并打印译文；“-”表示从标准输入读取文字。"));
    lines << QStringLiteral("  key set        ") +
                 L10n::text(L10N_KEY("从标准输入读取 API Key 并保存到密钥环（绝不从命令行参数读取）。"));
    lines << QStringLiteral("  key delete     ") + L10n::text(L10N_KEY("从密钥环删除服务商的 API Key。"));
    lines << QStringLiteral("  key status     ") +
                 L10n::text(L10N_KEY("显示服务商密钥的状态（静默读取，不会弹出解锁提示）。"));
    lines << QStringLiteral("  key authorize  ") +
                 L10n::text(L10N_KEY("读取密钥以确认可以访问；只有这个命令可能弹出密钥环的解锁提示。"));
    lines << QStringLiteral("  provider       ") +
                 L10n::text(L10N_KEY("显示所选服务商、地址、模型、云翻译同意和密钥状态；set 选择服务商，--address 和 --model 修改配置。"));
    lines << QStringLiteral("  consent        ") +
                 L10n::text(L10N_KEY("同意或撤回向所选服务商的当前地址发送文字进行云翻译。"));
    lines << QStringLiteral("  test-connection ") + L10n::text(L10N_KEY("测试所选服务商的连接。"));
    lines << QStringLiteral("  apps           ") +
                 L10n::text(L10N_KEY("列出允许读取的应用；allow 允许（浏览器需加 --confirm-browser），pause 今日暂停，resume 恢复，revoke 取消授权。"));
    lines << QStringLiteral("  doctor         ") +
                 L10n::text(L10N_KEY("检查这个桌面上哪些功能可用、如何修复；enable 开启应用辅助功能，wait <秒> 先等待，以便切换到要检查的应用。"));
    lines << QStringLiteral("  bubble-preview ") +
                 L10n::text(L10N_KEY("在当前输入框（读不到时在指针）旁显示带示例内容的翻译气泡（不抢占焦点），直到点击关闭；无需服务商。"));
    lines << QStringLiteral("  settings       ") +
                 L10n::text(L10N_KEY("打开设置窗口（可用 --section 指定页面），直到关闭窗口。"));
    lines << QStringLiteral("  guide          ") +
                 L10n::text(L10N_KEY("打开首次设置引导，从上次停下的步骤继续，直到关闭窗口。"));
    lines << QString();
    lines << L10n::text(L10N_KEY("选项："));
    lines << QStringLiteral("  --cloud        ") +
                 L10n::text(L10N_KEY("同意把这段文字发送给所选服务商进行云翻译；不加此选项时使用演示模式。"));
    lines << QStringLiteral("  --provider     ") +
                 L10n::text(L10N_KEY("使用指定的服务商，而不是设置中选择的服务商。"));
    lines << QStringLiteral("  --address, --model  ") +
                 L10n::text(L10N_KEY("所选服务商的地址（仅自定义服务商）和模型。"));
    lines << QStringLiteral("  --confirm-browser  ") +
                 L10n::text(L10N_KEY("确认允许浏览器：它显示的每个网站都可能被读取。"));
    lines << QStringLiteral("  --from, --to   ") +
                 L10n::text(L10N_KEY("源语言和目标语言，例如 English、日本語、zh、en、auto；默认取设置中的输入语言。"));
    lines << QStringLiteral("  --interface-language <system|zh-Hans|en>  ") +
                 L10n::text(L10N_KEY("本次运行使用的界面语言。"));
    lines << QStringLiteral("  -h, --help     ") + L10n::text(L10N_KEY("显示此帮助。"));
    lines << QStringLiteral("  -v, --version  ") + L10n::text(L10N_KEY("显示版本。"));
    lines << QString();
    lines << L10n::text(
        L10N_KEY("演示模式无需服务商，只翻译示例句（从中文到英语），例如：quillweave translate 你好"));
    lines << L10n::text(L10N_KEY("错误信息输出到标准错误，退出状态非零。"));
    // clang-format on
    return lines.join(QLatin1Char('\n'));
}

QCoro::Task<int> CommandLine::run(QStringList arguments)
{
    QCommandLineParser parser;
    Options options;
    configure(parser, options);
    if (!parser.parse(arguments)) {
        // An unknown option is named only when it is safe to repeat: a key pasted at the wrong
        // place must not end up on standard error.
        const QStringList unknown = parser.unknownOptionNames();
        co_return usageError(unknown.isEmpty()
                                 ? L10n::format(L10N_KEY("命令行无效：%@"), {parser.errorText()})
                                 : L10n::format(L10N_KEY("未知的选项：%@"), {optionText(unknown.first())}));
    }
    if (parser.isSet(options.interfaceLanguage)) {
        // main() applied a valid choice already; a wrong one is not quietly replaced.
        const auto language = CliArguments::interfaceLanguage(parser.value(options.interfaceLanguage));
        if (!language)
            co_return usageError(language.error());
    }
    if (parser.isSet(options.help)) {
        m_context.out << helpText() << Qt::endl;
        co_return ExitStatus::success;
    }
    if (parser.isSet(options.version)) {
        m_context.out << QStringLiteral("quillweave ") << QCoreApplication::applicationVersion() << Qt::endl;
        co_return ExitStatus::success;
    }

    QStringList positional = parser.positionalArguments();
    if (positional.isEmpty()) {
        m_context.out << helpText() << Qt::endl;
        co_return ExitStatus::usage;
    }
    const QString command = positional.takeFirst();
    if (!commandOptions().contains(command))
        co_return usageError(L10n::format(L10N_KEY("未知的命令：%@"), {CliArguments::repeatable(command)}));
    for (const QString& name : parser.optionNames()) {
        if (!commandOptions().value(command).contains(name) && !globalOptions().contains(name))
            co_return usageError(
                L10n::format(L10N_KEY("选项 %@ 不能用于 %@ 命令"), {optionText(name), command}));
    }
    co_return co_await runCommand(command, positional, parser, options);
}

QCoro::Task<int> CommandLine::runCommand(const QString& command, QStringList positional,
                                         const QCommandLineParser& parser, const Options& options)
{
    if (command == u"translate") {
        TranslateCommand::Options translate;
        translate.cloud = parser.isSet(options.cloud);
        translate.provider = parser.value(options.provider);
        translate.from = parser.value(options.from);
        translate.to = parser.value(options.to);
        if (positional == QStringList{QStringLiteral("-")})
            translate.textFromStandardInput = true;
        else
            translate.text = positional.join(QLatin1Char(' '));
        TranslateCommand runner(m_context);
        co_return co_await runner.run(translate);
    }
    if (command == u"key") {
        static const QHash<QString, KeyCommand::Action> actions{
            {QStringLiteral("set"), KeyCommand::Action::set},
            {QStringLiteral("delete"), KeyCommand::Action::remove},
            {QStringLiteral("status"), KeyCommand::Action::status},
            {QStringLiteral("authorize"), KeyCommand::Action::authorize}};
        if (positional.size() != 1 || !actions.contains(positional.first()))
            co_return usageError(L10n::text(
                L10N_KEY("用法：quillweave key <set|delete|status|authorize> [--provider <服务商>]")));
        KeyCommand runner(m_context);
        co_return co_await runner.run(actions.value(positional.first()), parser.value(options.provider));
    }
    if (command == u"apps") {
        AppsCommand runner(m_context);
        co_return co_await runner.run(positional, parser.isSet(options.confirmBrowser));
    }
    if (command == u"bubble-preview") {
        if (!positional.isEmpty())
            co_return usageError(L10n::text(L10N_KEY(
                "用法：quillweave bubble-preview [--state working|ready|replaced|error|selection]")));
        BubblePreviewCommand runner(m_context);
        co_return co_await runner.run(parser.value(options.state));
    }
    if (command == u"settings" || command == u"guide") {
        // clang-format off
        if (!positional.isEmpty())
            co_return usageError(
                command == u"guide"
                    ? L10n::text(L10N_KEY("用法：quillweave guide"))
                    : L10n::text(L10N_KEY("用法：quillweave settings [--section general|translation|models|applications|privacy|shortcuts|diagnostics]")));
        // clang-format on
        if (command == u"guide") {
            GuideCommand runner(m_context);
            co_return co_await runner.run();
        }
        SettingsCommand runner(m_context);
        co_return co_await runner.run(parser.value(options.section));
    }
    if (command == u"doctor") {
        DoctorCommand runner(m_context.out, m_context.err);
        co_return co_await runner.run(positional);
    }
    co_return co_await runProviderCommand(command, positional, parser, options);
}

QCoro::Task<int> CommandLine::runProviderCommand(const QString& command, QStringList positional,
                                                 const QCommandLineParser& parser, const Options& options)
{
    // --provider works on the named provider without changing the selection, as for `key`.
    std::optional<TranslationProvider> provider;
    if (parser.isSet(options.provider)) {
        const auto named = CliArguments::provider(parser.value(options.provider));
        if (!named)
            co_return usageError(named.error());
        provider = named.value();
    }
    ProviderCommand runner(m_context, provider);
    if (command == u"provider") {
        const ProviderCommand::Settings settings{parser.value(options.address), parser.value(options.model)};
        co_return co_await runner.provider(positional, settings);
    }
    if (command == u"consent")
        co_return co_await runner.consent(positional);
    if (!positional.isEmpty())
        co_return usageError(L10n::text(L10N_KEY("用法：quillweave test-connection")));
    co_return co_await runner.testConnection();
}

int CommandLine::usageError(const QString& message)
{
    m_context.err << message << Qt::endl;
    m_context.err << L10n::text(L10N_KEY("运行 quillweave --help 查看用法。")) << Qt::endl;
    return ExitStatus::usage;
}

} // namespace qw
