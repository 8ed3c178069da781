#include "accessibility/AXWorker.h"

#include "accessibility/adapters/AXVocabulary.h"
#include "l10n/L10n.h"
#include "policy/SecretDetector.h"
#include "policy/SelectionRules.h"

namespace qw {

namespace {

bool valid(const std::optional<AXReadPermit>& permit)
{
    return !permit || permit->isValid();
}

} // namespace

AXWorker::AXWorker(AXPlatform platform) : m_engine(platform), m_thread(QStringLiteral("accessibility")) {}

AXWorker::~AXWorker() = default;

template <class R, class Work, class Discard>
QCoro::Task<R> AXWorker::readPass(std::optional<AXReadPermit> permit, CancellationToken cancellation, R empty,
                                  Work work, Discard discard)
{
    AXEngine* engine = &m_engine;
    return m_thread.run([engine, permit, cancellation, empty, work, discard]() -> R {
        if (cancellation.isCancelled() || !valid(permit))
            return empty;
        const QDateTime deadline = engine->currentTime().addMSecs(readDeadline.count());
        engine->setDeadline(deadline);
        engine->setCancellation(cancellation);
        engine->setAuthorizeRead([permit] { return valid(permit); });
        R result = work(*engine);
        const bool stale =
            cancellation.isCancelled() || !valid(permit) || !(engine->currentTime() < deadline);
        engine->resetAuthorization();
        if (stale)
            return discard(std::move(result));
        return result;
    });
}

QCoro::Task<AXWorker::FocusResult> AXWorker::focus(RunningApplication app, std::optional<AXReadPermit> permit,
                                                   CancellationToken cancellation)
{
    // A stale read keeps the engine's diagnostic but drops the field.
    return readPass<FocusResult>(
        std::move(permit), std::move(cancellation), FocusResult{std::nullopt, QString()},
        [app](AXEngine& engine) {
            return FocusResult{engine.focusedField(app), engine.lastDiagnostic()};
        },
        [](FocusResult stale) {
            return FocusResult{std::nullopt, stale.second};
        });
}

QCoro::Task<void> AXWorker::prepare(RunningApplication app, std::optional<AXReadPermit> permit,
                                    CancellationToken cancellation)
{
    AXEngine* engine = &m_engine;
    return m_thread.run([engine, app, permit, cancellation]() {
        if (cancellation.isCancelled() || !valid(permit))
            return;
        engine->setDeadline(engine->currentTime().addMSecs(readDeadline.count()));
        engine->setCancellation(cancellation);
        engine->setAuthorizeRead([permit] { return valid(permit); });
        engine->prepareAccessibility(app);
        engine->resetAuthorization();
    });
}

void AXWorker::prepareForWrites()
{
    m_thread.submit([] { SecretDetector::prepareThisThread(); });
}

QCoro::Task<std::optional<UserSelection>>
AXWorker::selection(RunningApplication app, std::optional<AccessibilityElement> preferredElement,
                    std::optional<AXReadPermit> permit, CancellationToken cancellation)
{
    return readPass<std::optional<UserSelection>>(
        permit, cancellation, std::nullopt,
        [app, preferredElement](AXEngine& engine) { return engine.userSelectedText(app, preferredElement); },
        [](auto) { return std::optional<UserSelection>(); });
}

QCoro::Task<AXWorker::Snapshot> AXWorker::snapshot(FocusedField field, std::optional<AXReadPermit> permit,
                                                   CancellationToken cancellation)
{
    return readPass<Snapshot>(
        permit, cancellation, Snapshot{},
        [field](AXEngine& engine) {
            Snapshot snapshot;
            snapshot.stillFocused = engine.isStillFocused(field);
            const AXEngine::TextState text = engine.readTextState(field.element);
            snapshot.value = text.value;
            snapshot.selectedLength = text.selectedLength;
            return snapshot;
        },
        [](Snapshot) { return Snapshot{}; });
}

QCoro::Task<bool> AXWorker::validateSelection(FocusedField field, TextRange range, QString text,
                                              QString value, std::optional<AXReadPermit> permit,
                                              CancellationToken cancellation)
{
    return readPass<bool>(
        permit, cancellation, false,
        [field, range, text, value](AXEngine& engine) {
            if (!engine.isStillFocused(field) ||
                engine.readString(AXAttribute::value, field.element) != value)
                return false;
            if (engine.selectedRange(field.element) != range)
                return false;
            return SelectionRules::substring(value, range.location, range.length) == text;
        },
        [](bool) { return false; });
}

QCoro::Task<WriteResult> AXWorker::replace(AXReplaceRequest request, AXReadPermit permit,
                                           CancellationToken cancellation)
{
    AXEngine* engine = &m_engine;
    return m_thread.run(
        [engine, request, permit, cancellation]() -> WriteResult {
            if (cancellation.isCancelled() || !permit.isValid())
                return WriteResult::failure(L10n::text(L10N_KEY("操作已取消；未执行替换")));
            engine->setDeadline(engine->currentTime().addMSecs(writeDeadline.count()));
            engine->setCancellation(cancellation);
            engine->setAuthorizeWrite(
                [permit, cancellation] { return permit.isValid() && !cancellation.isCancelled(); });
            engine->setAuthorizeRead([permit] { return permit.isValid(); });
            WriteResult result =
                request.range
                    ? engine->replaceSelectedText(request.original, request.translated, request.field,
                                                  request.expectedValue.value_or(QString()), *request.range,
                                                  request.clipboardFallbackEnabled,
                                                  request.requireCurrentSelection)
                    : engine->replaceEntireValue(request.original, request.translated, request.field,
                                                 request.clipboardFallbackEnabled);
            engine->resetAuthorization();
            return result;
        },
        WriteResult::failure(L10n::text(L10N_KEY("操作已取消；未执行替换"))));
}

} // namespace qw
