#pragma once

#include "tests/race/RaceWorld.h"

#include <QHash>
#include <QSet>
#include <QStringList>
#include <mutex>

namespace qw::test {

// The promises checked after every step of a race and at every moment a write lands:
// - nothing is written unless the program's fresh read of the field showed exactly the text the
//   translation was made from (or, for a restore, the translation that was written);
// - nothing is written into, sent from or shown for an application that is not allowed or is
//   paused, and no result made before a revocation or pause is shown after it;
// - a write that was issued is reported, and one that was confirmed keeps its restore record;
// - the user's clipboard content is never lost or left replaced;
// - a password field is never read and its text never sent.
// The text of each application is written with letters of its own, so any text tells where it
// came from.
class RaceChecker {
public:
    explicit RaceChecker(RaceWorld& world);

    // The letters the applications' texts are made of, and the text of the password fields.
    static const QStringList& alphabets();
    static const QString& passwordWord();
    // A key some texts carry: never sent.
    static const QString& secretKey();

    // The test did something as the user or another application: a write after it (without a
    // new read of the field) lands in the moment no program can close, and is not judged.
    void userActed();
    // Someone other than the writer put these items on the clipboard.
    void clipboardSetBySomeoneElse();
    // After every step: the permissions the model now holds.
    void takePermissions();

    const QStringList& violations() const { return m_violations; }
    int writesJudged() const { return m_writesJudged; }
    int writesInUserMoment() const { return m_writesInUserMoment; }

private:
    using TextAccess = SubstituteDesktop::TextAccess;
    void onAccess(const TextAccess& access);
    void onModelChanged();
    void atMoment();
    int appOfText(const QString& text) const;
    int appOfElement(int element) const;
    int openFieldHolding(const QString& text) const;
    void fail(const QString& what);
    bool userActedSinceLastRead(qsizetype position, int element) const;

    RaceWorld& m_world;
    // Touched by the worker thread: under m_mutex.
    mutable std::recursive_mutex m_mutex;
    QList<TextAccess> m_log;
    QList<int> m_userMarks; // log positions where the user acted
    QHash<int, int> m_elementApp;
    QSet<int> m_passwordElements;
    QList<bool> m_open; // per application: allowed and not paused
    QStringList m_violations;
    int m_writesJudged = 0;
    int m_writesInUserMoment = 0;

    // Main thread only.
    QList<QSet<QString>> m_sentSinceOpened;
    qsizetype m_sentSeen = 0;
    QList<ClipboardItem> m_expectedClipboard;
    bool m_validating = false;
    qsizetype m_jobStart = 0;
};

} // namespace qw::test
