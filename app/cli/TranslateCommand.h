#pragma once

#include "app/cli/CliContext.h"

#include <QCoroTask>
#include <QStringList>

namespace qw {

struct StoredTranslationSettings;

// `quillweave translate`: one text, translated once. Without --cloud the demo answers; with it
// (the user's consent to send this text to the provider) exactly one request goes to the
// selected provider. A text the safety policy refuses is never sent.
class TranslateCommand {
public:
    struct Options {
        QString text;
        bool textFromStandardInput = false;
        bool cloud = false;
        QString provider; // empty: the stored selection
        QString from;     // empty: the stored input source language
        QString to;       // empty: the stored input target language
    };

    explicit TranslateCommand(CliContext& context) : m_context(context) {}

    QCoro::Task<int> run(Options options);

private:
    // The languages named on the command line over the stored ones; false (after saying why)
    // when one is unknown or the two are the same.
    bool applyLanguages(const Options& options, StoredTranslationSettings& settings);

    CliContext& m_context;
};

} // namespace qw
