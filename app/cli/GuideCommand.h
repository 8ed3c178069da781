#pragma once

#include "app/cli/CliContext.h"

#include <QCoroTask>

namespace qw {

// `quillweave guide`: the first-run guide at the step the user reached, over the application
// model of this desktop, until it is closed. Its progress is kept as the tray program reads it.
class GuideCommand {
public:
    explicit GuideCommand(CliContext& context) : m_context(context) {}

    // Needs a QApplication; returns the exit status.
    QCoro::Task<int> run();

private:
    CliContext& m_context;
};

} // namespace qw
