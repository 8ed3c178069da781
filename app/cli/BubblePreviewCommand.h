#pragma once

#include "app/cli/CliContext.h"

#include <QCoro/QCoroTask>
#include <QString>

namespace qw {

// `quillweave bubble-preview`: the translation panel with a sample state of a real application
// model, shown next to the focused field of the desktop (or the pointer) without taking the focus, until its
// close button is pressed or the process ends. The model translates a sample text of a stand-in field in demo
// mode, so no provider, key or other application is involved.
class BubblePreviewCommand {
public:
    explicit BubblePreviewCommand(CliContext& context) : m_context(context) {}

    // `state` is one of working, ready, replaced, error, selection (empty: ready). Needs a
    // QApplication; returns the exit status.
    QCoro::Task<int> run(QString state);

private:
    CliContext& m_context;
};

} // namespace qw
