#pragma once

#include "app/cli/CliContext.h"

#include <QCoroTask>
#include <QString>

namespace qw {

// `quillweave settings [--section <page>]`: the settings window on the given page, over the
// application model of this desktop, until it is closed. "Open the setup guide" opens the
// guide beside it.
class SettingsCommand {
public:
    explicit SettingsCommand(CliContext& context) : m_context(context) {}

    // `section` is a page's name (empty: general). Needs a QApplication; returns the exit status.
    QCoro::Task<int> run(QString section);

private:
    CliContext& m_context;
};

} // namespace qw
