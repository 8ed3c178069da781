// The translation panel's costs: one change of the model reaching the screen, and the resident
// memory a shown panel holds. Run offscreen (QT_QPA_PLATFORM=offscreen): painting is the raster
// engine's work into the backing store, with no display server in the measurement.
#include "accessibility/AXWorker.h"
#include "bubble/BubblePanel.h"
#include "bubble/BubbleWindow.h"
#include "bubble/QtBubbleScreens.h"
#include "bubble/TranslationBubble.h"
#include "core/InMemorySettingsStore.h"
#include "engine/TranslationService.h"
#include "l10n/LocalizationState.h"
#include "model/AppModel.h"
#include "tests/engine/FakeChatTransport.h"
#include "tests/support/AsyncTestHelpers.h"
#include "tests/support/VirtualTime.h"
#include "tests/support/desktop/SubstituteDesktop.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QTextEdit>
#include <QVBoxLayout>
#include <benchmark/benchmark.h>
#include <chrono>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

// A real model on the substitute desktop with a translation shown: the provider is a fake
// transport on virtual time, the field a text area of the desktop's editor.
class ShownTranslation {
public:
    ShownTranslation()
    {
        qw::LocalizationState::shared().setLanguage(qw::InterfaceLanguage::chinese);
        (void)settings.setBool(QStringLiteral("cloudConsent.openai"), true);
        model =
            std::make_unique<qw::AppModel>(qw::AppModel::Collaborators{settings,
                                                                       time,
                                                                       time,
                                                                       QTimeZone::systemTimeZone(),
                                                                       service,
                                                                       worker,
                                                                       generation,
                                                                       desktop.workspace(),
                                                                       [] { return true; },
                                                                       [](const QString&) { return true; },
                                                                       {},
                                                                       1},
                                           QStringList{qw::AppModel::defaultAllowedApplication});
    }
    ~ShownTranslation() { qw::LocalizationState::shared().setLanguage(qw::InterfaceLanguage::system); }
    ShownTranslation(const ShownTranslation&) = delete;
    ShownTranslation& operator=(const ShownTranslation&) = delete;

    // The user types, pauses, and the provider answers: the model shows a preview.
    bool translate()
    {
        field.value(QStringLiteral("这周我们先完成产品设计，下周再开始开发。")).selection(20, 0);
        if (!inspect())
            return false;
        time.advance(std::chrono::milliseconds(model->debounceMilliseconds()));
        if (!qw::test::pumpUntil([this] { return model->isTranslating(); }, 5s))
            return false;
        time.advance(transport->latency);
        return qw::test::pumpUntil([this] { return model->showingPreview(); }, 5s);
    }

    qw::BubbleModelState panelState() const
    {
        const bool wanted = model->showingPreview() || model->isTranslating() || model->showingError();
        return {wanted, fieldBounds};
    }

    qw::test::VirtualTime time;
    qw::InMemorySettingsStore settings;
    qw::test::SubstituteDesktop desktop;
    qw::test::DesktopApp editor =
        desktop.addApplication(qw::AppModel::defaultAllowedApplication, QStringLiteral("Text Editor"));
    QRectF fieldBounds{100, 400, 400, 80};
    qw::test::DesktopElement field = editor.window().textArea(QString()).bounds(fieldBounds).focus();
    std::shared_ptr<qw::AXAccessGeneration> generation = std::make_shared<qw::AXAccessGeneration>();
    qw::AXWorker worker{desktop.platform()};
    qw::test::FakeChatTransport* transport = new qw::test::FakeChatTransport(time);
    qw::TranslationService service{
        [](qw::TranslationProvider, bool) -> QCoro::Task<qw::CredentialLoadResult> {
            co_return qw::CredentialLoadResult::ok(QStringLiteral("sk-bench-key"));
        },
        time, time, std::unique_ptr<qw::ChatTransport>(transport)};
    std::unique_ptr<qw::AppModel> model;

private:
    bool inspect()
    {
        model->inspectFocus(false);
        return qw::test::pumpUntil([this] { return !model->isInspecting(); }, 5s);
    }
};

// The shown panel with the model's content in it, refreshed on every change as the shell does.
class ShownPanel {
public:
    explicit ShownPanel(ShownTranslation& shown)
        : m_shown(shown), m_window(m_screens, shown.time, [] { return true; })
    {
        m_content = new qw::TranslationBubble(*shown.model, *m_window.panel().titleBar());
        m_window.panel().setContent(m_content);
        QObject::connect(shown.model.get(), &qw::AppModel::changed, &m_window.panel(),
                         [this] { m_window.refresh(m_shown.panelState()); });
        m_window.refresh(shown.panelState());
    }

    // Lets the queued showing of the last change run, then paints the panel as the screen would.
    void showAndPaint()
    {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        m_window.panel().repaint();
    }

    qw::BubblePanel& panel() { return m_window.panel(); }
    qw::TranslationBubble& content() { return *m_content; }

private:
    ShownTranslation& m_shown;
    qw::QtBubbleScreens m_screens;
    qw::BubbleWindow m_window;
    qw::TranslationBubble* m_content = nullptr;
};

// The process's resident set, from /proc/self/statm (second field, in pages).
long residentKilobytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    if (fields.size() < 2)
        return -1;
    return fields.at(1).toLong() * (sysconf(_SC_PAGESIZE) / 1024);
}

// Qt's own first-use costs (style, fonts and CJK glyphs, theme icons, a text edit's text engine,
// the raster engine, a backing store), paid by an unrelated window so that they are not counted
// as the panel's.
void warmUpWidgets()
{
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(new QLabel(QStringLiteral("预热 Warm-up: 今天下午三点开会")));
    auto* picker = new QComboBox;
    picker->addItems({QStringLiteral("中文"), QStringLiteral("English")});
    layout->addWidget(picker);
    layout->addWidget(
        new QPushButton(QIcon::fromTheme(QStringLiteral("edit-copy")), QStringLiteral("复制 Copy")));
    auto* text = new QTextEdit;
    text->setPlainText(QStringLiteral("预热 Warm-up text, 两行\n第二行"));
    layout->addWidget(text);
    window.show();
    QCoreApplication::processEvents();
    window.repaint();
    (void)window.grab();
}

struct PanelMemory {
    long residentAddedKilobytes = -1;
    QSize window;
};

// The resident memory the first shown panel adds: the window, its content and the header, laid
// out, shown and painted once, over a model that already shows a translation. The program keeps
// one panel for its life, so only the first one in a process is measured: later ones reuse the
// heap and caches an earlier one left behind.
PanelMemory measureFirstPanel()
{
    ShownTranslation shown;
    if (!shown.translate())
        return {};
    warmUpWidgets();
    QCoreApplication::processEvents();
    const long before = residentKilobytes();
    ShownPanel panel(shown);
    panel.showAndPaint();
    const long after = residentKilobytes();
    if (!panel.panel().isVisible() || before < 0 || after < 0)
        return {};
    return {after - before, panel.panel().size() * panel.panel().devicePixelRatio()};
}

void residentMemoryOfShownPanel(benchmark::State& state)
{
    static const PanelMemory memory = measureFirstPanel();
    if (memory.residentAddedKilobytes < 0) {
        state.SkipWithError("no panel shown");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(memory.residentAddedKilobytes);
    state.counters["rss_added_kB"] = static_cast<double>(memory.residentAddedKilobytes);
    // The backing store alone is width x height x 4 bytes.
    state.counters["window_px"] = static_cast<double>(memory.window.width() * memory.window.height());
}
BENCHMARK(residentMemoryOfShownPanel)->Unit(benchmark::kMillisecond)->Iterations(1);

// One published change of the model (the copy feedback turns on, or its time runs out) reaching
// the screen: the content shows the new state, the panel is refreshed and painted.
void modelChangeShownAndPainted(benchmark::State& state)
{
    ShownTranslation shown;
    if (!shown.translate()) {
        state.SkipWithError("no translation shown");
        return;
    }
    ShownPanel panel(shown);
    panel.showAndPaint();
    if (!panel.panel().isVisible()) {
        state.SkipWithError("the panel is not shown");
        return;
    }
    const QString copy = panel.content().copyButton()->text();
    bool copied = false;
    for (auto _ : state) {
        if (copied)
            shown.time.advance(1500ms);
        else
            shown.model->copyTranslation();
        copied = !copied;
        panel.showAndPaint();
    }
    if (shown.model->copiedTranslation() != copied ||
        (panel.content().copyButton()->text() == copy) != !copied)
        state.SkipWithError("the copy feedback did not reach the panel");
}
BENCHMARK(modelChangeShownAndPainted)->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime()->UseRealTime();

// The painting alone, for comparison: the shown panel painted again with nothing changed.
void unchangedPanelPainted(benchmark::State& state)
{
    ShownTranslation shown;
    if (!shown.translate()) {
        state.SkipWithError("no translation shown");
        return;
    }
    ShownPanel panel(shown);
    panel.showAndPaint();
    for (auto _ : state)
        panel.showAndPaint();
}
BENCHMARK(unchangedPanelPainted)->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime()->UseRealTime();

} // namespace
