#pragma once

#include "accessibility/AXEngine.h"
#include "accessibility/AXReadPermit.h"
#include "accessibility/AXReplaceRequest.h"
#include "core/SerialWorker.h"

#include <QCoroTask>
#include <optional>
#include <utility>

namespace qw {

// Runs every accessibility operation one at a time on its own thread, so that no platform
// call ever blocks the main thread. The main thread awaits each operation. Every operation is
// wrapped in a deadline (1.0 s for reads, 2.0 s for writes) and checks its permit before it
// starts, before every engine step and once more when it is done: work whose permit was
// revoked in the meantime yields the empty result even when the engine found something.
class AXWorker {
public:
    using FocusResult = std::pair<std::optional<FocusedField>, QString>;

    struct Snapshot {
        bool stillFocused = false;
        std::optional<QString> value;
        std::optional<qsizetype> selectedLength;
        friend bool operator==(const Snapshot&, const Snapshot&) = default;
    };

    static constexpr std::chrono::milliseconds readDeadline{1000};
    static constexpr std::chrono::milliseconds writeDeadline{2000};

    explicit AXWorker(AXPlatform platform);
    ~AXWorker();

    QCoro::Task<FocusResult> focus(RunningApplication app, std::optional<AXReadPermit> permit = std::nullopt,
                                   CancellationToken cancellation = {});
    QCoro::Task<void> prepare(RunningApplication app, std::optional<AXReadPermit> permit = std::nullopt,
                              CancellationToken cancellation = {});
    QCoro::Task<std::optional<UserSelection>> selection(RunningApplication app,
                                                        std::optional<AccessibilityElement> preferredElement,
                                                        std::optional<AXReadPermit> permit = std::nullopt,
                                                        CancellationToken cancellation = {});
    QCoro::Task<Snapshot> snapshot(FocusedField field, std::optional<AXReadPermit> permit = std::nullopt,
                                   CancellationToken cancellation = {});
    QCoro::Task<bool> validateSelection(FocusedField field, TextRange range, QString text, QString value,
                                        std::optional<AXReadPermit> permit = std::nullopt,
                                        CancellationToken cancellation = {});
    QCoro::Task<WriteResult> replace(AXReplaceRequest request, AXReadPermit permit,
                                     CancellationToken cancellation = {});
    // Readies the worker's own copy of the text rules, which every write checks, before the
    // first write waits for it.
    void prepareForWrites();

private:
    // None of the operations is a coroutine itself: each returns the task of the job it queued.
    // Runs `work` on the worker inside a read pass: `empty` when the permit is already stale,
    // `discard(result)` when it became stale (or the deadline passed) during the work.
    template <class R, class Work, class Discard>
    QCoro::Task<R> readPass(std::optional<AXReadPermit> permit, CancellationToken cancellation, R empty,
                            Work work, Discard discard);

    AXEngine m_engine; // touched only on m_thread
    SerialWorker m_thread;
};

} // namespace qw
