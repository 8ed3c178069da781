#pragma once

#include "tests/race/RaceChecker.h"
#include "tests/race/RaceWorld.h"

#include <QStringList>
#include <functional>
#include <random>

namespace qw::test {

// One seeded race: a fresh world, and steps drawn from the seed. A step is the user typing,
// deleting, moving the caret, selecting, switching field or application, copying; another
// program writing the clipboard; the application refusing writes or answering slowly; the
// provider failing or taking its time; the settings, permissions, provider and hotkeys changing;
// virtual time passing. One step in three stops the accessibility worker in the middle of the
// operation a second step starts (a read, a translation check, a write or a restore) and runs
// the first there. The checker looks after every step.
class RaceScript {
public:
    explicit RaceScript(quint64 seed);

    // Runs the steps; false at the first broken promise or hang.
    bool run(int steps);
    // What went wrong and the steps that led there.
    QString report() const;
    const RaceChecker& checker() const { return m_checker; }
    const RaceWorld& world() const { return m_world; }
    // The steps taken and what the field and the model showed after each: equal for equal seeds.
    const QStringList& trace() const { return m_trace; }

private:
    using Action = std::pair<QString, std::function<void()>>;
    Action drawAction();
    QString drawText(int app);
    int pick(int count) { return int(m_random() % quint64(count)); }
    bool chance(int percent) { return pick(100) < percent; }
    RaceWorld::App& front() { return m_world.apps[std::size_t(m_front)]; }
    DesktopElement& focusedField() { return front().fields[std::size_t(m_focused[std::size_t(m_front)])]; }
    void inspect();
    void typeInto(bool fresh);
    void pass(int milliseconds);

    quint64 m_seed;
    std::mt19937_64 m_random;
    RaceWorld m_world;
    RaceChecker m_checker{m_world};
    int m_front = 0;
    std::vector<int> m_focused{0, 0, 0};
    QStringList m_trace;
    QString m_failure;
    bool m_inHold = false;
    bool m_stuck = false;
};

} // namespace qw::test
