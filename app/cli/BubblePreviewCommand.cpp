#include "app/cli/BubblePreviewCommand.h"

#include "accessibility/AXWorker.h"
#include "app/cli/BubblePreviewDesktop.h"
#include "bubble/BubblePanel.h"
#include "bubble/BubbleTitleBar.h"
#include "bubble/BubbleWindow.h"
#include "bubble/QtBubbleScreens.h"
#include "bubble/TranslationBubble.h"
#include "core/Delay.h"
#include "core/InMemorySettingsStore.h"
#include "engine/TranslationService.h"
#include "l10n/L10n.h"
#include "l10n/LocalizationState.h"
#include "model/AppModel.h"
#include "model/AppSettingsTable.h"
#include "platform/LinuxDesktop.h"

#include <QApplication>
#include <QScreen>
#include <QTimer>

namespace qw {

namespace {

enum class SampleState { working, ready, replaced, error, selection };

std::optional<SampleState> sampleState(const QString& name)
{
    static const QHash<QString, SampleState> states{{QStringLiteral("working"), SampleState::working},
                                                    {QStringLiteral("ready"), SampleState::ready},
                                                    {QStringLiteral("replaced"), SampleState::replaced},
                                                    {QStringLiteral("error"), SampleState::error},
                                                    {QStringLiteral("selection"), SampleState::selection}};
    if (name.isEmpty())
        return SampleState::ready;
    const auto found = states.constFind(name);
    return found == states.cend() ? std::nullopt : std::optional(found.value());
}

// Timers that never fire: the demo translation stays in progress for as long as it is shown.
class HeldTimers final : public TimerSource {
public:
    TimerId start(std::chrono::milliseconds, std::function<void()>) override { return ++m_last; }
    void cancel(TimerId) override {}

private:
    TimerId m_last = 0;
};

// What the stand-in field holds: a demo sample for the states with a translation, another text
// (which demo mode refuses) for the error.
QString sampleText(SampleState state)
{
    return state == SampleState::error ? QStringLiteral("这段文字不是演示示例") : QStringLiteral("你好");
}

// Whether the model shows the sample state; on the way to "replaced" it accepts the preview.
bool reached(AppModel& model, SampleState state)
{
    switch (state) {
    case SampleState::working:
        return model.isTranslating();
    case SampleState::ready:
        return model.showingPreview();
    case SampleState::replaced:
        if (model.showingPreview() && !model.isValidatingReplacement())
            model.acceptTranslation();
        return model.showingUndoOffer();
    case SampleState::error:
        return model.showingError();
    case SampleState::selection:
        return model.selectionPreview();
    }
    return false;
}

// Where the field that has the keyboard focus on the real desktop is (X pixels), when the
// accessibility bus answers: only its position is read, never its text.
QCoro::Task<std::optional<QRectF>> focusedFieldBounds()
{
    using namespace std::chrono_literals;
    LinuxDesktop desktop;
    AXWorker worker(desktop.platform());
    const std::optional<RunningApplication> front = desktop.workspace().frontmostApplication();
    if (!front || !desktop.accessibilityBus().waitUntilReady(2s))
        co_return std::nullopt;
    const AXWorker::FocusResult focus = co_await worker.focus(*front);
    if (!focus.first)
        co_return std::nullopt;
    const std::optional<QRectF> bounds = focus.first->bounds;
    co_return bounds;
}

} // namespace

QCoro::Task<int> BubblePreviewCommand::run(QString stateName)
{
    const std::optional<SampleState> state = sampleState(stateName);
    if (!state || !qobject_cast<QApplication*>(QCoreApplication::instance())) {
        m_context.err
            << L10n::text(L10N_KEY(
                   "用法：quillweave bubble-preview [--state working|ready|replaced|error|selection]"))
            << Qt::endl;
        co_return ExitStatus::usage;
    }

    // A settings store of its own: the preview never changes the user's settings. The sample is typed
    // Chinese, translated to English (all that demo mode does); the selection sample is
    // text selected on a page, translated with the page pair.
    InMemorySettingsStore settings;
    {
        // Written through the settings table, like every setting; an in-memory write cannot fail.
        using Table = AppSettings::Table;
        AppSettings sample(settings, {}, m_context.clock.now());
        (void)sample.set(Table::interfaceLanguage, LocalizationState::shared().language());
        (void)sample.set(Table::pageTranslationEnabled, true);
        (void)sample.set(Table::pageSourceLanguage, TranslationLanguage::chinese);
        (void)sample.set(Table::pageTargetLanguage, TranslationLanguage::english);
    }

    HeldTimers heldTimers;
    TranslationService service(
        [](TranslationProvider, bool) -> QCoro::Task<CredentialLoadResult> {
            co_return CredentialLoadResult::ok(std::nullopt);
        },
        m_context.clock, *state == SampleState::working ? heldTimers : m_context.timers);
    const std::optional<QRectF> bounds = co_await focusedFieldBounds();
    BubblePreviewDesktop desktop(AppModel::defaultAllowedApplication, sampleText(*state),
                                 *state == SampleState::selection, bounds);
    AXWorker ax(AXPlatform{desktop, desktop, desktop, desktop, desktop, desktop, m_context.clock});
    AppModel model(AppModel::Collaborators{settings,
                                           m_context.clock,
                                           m_context.timers,
                                           m_context.timeZone,
                                           service,
                                           ax,
                                           std::make_shared<AXAccessGeneration>(),
                                           desktop,
                                           [] { return true; },
                                           [](const QString&) { return false; },
                                           {},
                                           0},
                   QStringList{AppModel::defaultAllowedApplication});

    QtBubbleScreens screens;
    BubbleWindow window(screens, m_context.timers);
    auto* content = new TranslationBubble(model, *window.panel().titleBar());
    window.panel().setContent(content);

    // The wiring the application shell uses: the model's preview updates place the panel, its
    // close button discards the preview. Accessibility extents are in X pixels.
    model.callbacks().onPreviewUpdate = [&] {
        const QScreen* screen = QGuiApplication::primaryScreen();
        window.refresh(BubbleModelState::of(model, screen ? screen->devicePixelRatio() : 1.0));
    };
    CancellationSource closed;
    window.setOnCloseRequested([&] {
        model.discardPreview();
        closed.cancel();
    });

    // Once the model shows the sample state, its title is printed: after the content showed
    // it, which happens queued after the model's burst of changes.
    bool printed = false;
    const auto showWhenReached = [&] {
        if (printed || closed.isCancelled() || !reached(model, *state))
            return;
        printed = true;
        QTimer::singleShot(0, &window.panel(),
                           [&] { m_context.out << window.panel().titleBar()->shownTitle() << Qt::endl; });
    };
    QObject::connect(&model, &AppModel::changed, &window.panel(), showWhenReached);
    if (*state == SampleState::selection)
        model.inspectSelectionAfterMouseUp(BubblePreviewDesktop::fieldElement());
    else
        model.inspectFocus(true);

    using namespace std::chrono_literals;
    const CancellationToken untilClosed = closed.token();
    while (!untilClosed.isCancelled())
        co_await delay(m_context.timers, 24h, untilClosed);
    co_return ExitStatus::success;
}

} // namespace qw
