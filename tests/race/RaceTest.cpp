// Seeded races of the model on the substitute desktop. Every seed is one race of a few dozen
// steps in a fresh world; QW_RACE_SEED=n replays one, QW_RACE_SEEDS and QW_RACE_FIRST choose how
// many and from where.
#include "accessibility/adapters/AXVocabulary.h"
#include "l10n/LocalizationState.h"
#include "tests/race/RaceScript.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

namespace qw::test {
namespace {

constexpr int kSteps = 24;

quint64 environmentNumber(const char* name, quint64 fallback)
{
    bool ok = false;
    const quint64 value = qEnvironmentVariable(name).toULongLong(&ok);
    return ok ? value : fallback;
}

class RaceTest : public ::testing::Test {
protected:
    void SetUp() override { LocalizationState::shared().setLanguage(InterfaceLanguage::chinese); }
    void TearDown() override { LocalizationState::shared().setLanguage(InterfaceLanguage::system); }

    // Runs one seed; on failure the report says how to replay it.
    struct Totals {
        int judged = 0, crossed = 0, holds = 0, holdsInWrites = 0;
    };
    static bool race(quint64 seed, Totals& totals)
    {
        RaceScript script(seed);
        const bool held = script.run(kSteps);
        totals.judged += script.checker().writesJudged();
        totals.crossed += script.checker().writesInUserMoment();
        totals.holds += script.world().holdsRun;
        totals.holdsInWrites += script.world().holdsInWrites;
        if (!held) {
            ADD_FAILURE() << qPrintable(script.report()) << "replay: QW_RACE_SEED=" << seed << ' '
                          << qPrintable(QCoreApplication::applicationFilePath())
                          << " --gtest_filter=RaceTest.SeedsOnTheSubstituteDesktop";
        }
        return held;
    }
};

TEST_F(RaceTest, SeedsOnTheSubstituteDesktop)
{
    const quint64 only = environmentNumber("QW_RACE_SEED", 0);
    const quint64 first = only ? only : environmentNumber("QW_RACE_FIRST", 1);
    const quint64 count = only ? 1 : environmentNumber("QW_RACE_SEEDS", 10000);
    QElapsedTimer clock;
    clock.start();
    Totals totals;
    int failed = 0;
    for (quint64 seed = first; seed < first + count && failed < 3; ++seed)
        failed += race(seed, totals) ? 0 : 1;
    std::printf("races: %llu seeds x %d steps in %.1f s; %d interruptions (%d inside a write or restore); "
                "%d writes judged, %d crossed by the user's keystroke\n",
                static_cast<unsigned long long>(count), kSteps, double(clock.elapsed()) / 1000.0,
                totals.holds, totals.holdsInWrites, totals.judged, totals.crossed);
    EXPECT_GT(totals.judged, 0) << "the races never reached a write";
}

// Seeds that once broke a promise, kept as they were found (a change to the generator changes
// what a seed plays: find them again then).
TEST_F(RaceTest, SeedsThatOnceFailedHold)
{
    // A stale preview of one application was relabelled with the next application it scheduled
    // for, so revoking the first no longer took its text away.
    Totals totals;
    for (const quint64 seed : {14, 60, 84})
        race(seed, totals);
}

// A seed replays its race, so a failing seed's command reproduces it. One exception is known:
// an interruption counted in reads may, on a loaded machine, come due in one play and not in the
// other (the worker thread and the harness's rest check meet in a different order). So a replay
// may part from the first play only at a step with such an interruption, and only rarely.
TEST_F(RaceTest, ASeedAlwaysPlaysTheSameRace)
{
    const quint64 seeds = environmentNumber("QW_RACE_REPLAYS", 40);
    int parted = 0;
    for (quint64 seed = 1; seed <= seeds; ++seed) {
        RaceScript first(seed), second(seed);
        first.run(kSteps);
        second.run(kSteps);
        const qsizetype common = std::min(first.trace().size(), second.trace().size());
        qsizetype step = 0;
        while (step < common && first.trace()[step] == second.trace()[step])
            ++step;
        if (step == common && first.trace().size() == second.trace().size())
            continue;
        ++parted;
        const QString where = step < common ? first.trace()[step] : QString();
        EXPECT_TRUE(where.contains(u", and after read "))
            << "seed " << seed << " parts at step " << step + 1 << " without an interruption\nfirst:\n"
            << first.trace().mid(0, step + 1).join(u'\n').toStdString() << "\nsecond:\n"
            << second.trace().mid(0, step + 1).join(u'\n').toStdString();
        std::printf("seed %llu: the interruption of step %lld came due in one play only\n",
                    static_cast<unsigned long long>(seed), static_cast<long long>(step + 1));
    }
    EXPECT_LE(parted, 1) << "replays parted for " << parted << " of " << seeds << " seeds";
}

// The checker itself: each broken promise, made by hand, is seen.
TEST_F(RaceTest, TheCheckerSeesEachBrokenPromise)
{
    struct Row {
        const char* name;
        std::function<void(RaceWorld&, RaceChecker&)> breakPromise;
        const char* seen;
    };
    const std::vector<Row> rows{
        {"a write the fresh read does not justify",
         [](RaceWorld& world, RaceChecker&) {
             DesktopElement field = world.apps[0].fields[0];
             field.value(QStringLiteral("今天"));
             world.desktop.accessibility().copyAttributeValue(field.handle(), AXAttribute::value);
             world.desktop.accessibility().setAttributeValue(field.handle(), AXAttribute::value,
                                                             AttributeValue(QStringLiteral("EN:明天")));
         },
         "where the fresh read showed"},
        {"a password field read",
         [](RaceWorld& world, RaceChecker&) {
             world.desktop.accessibility().copyAttributeValue(world.apps[0].fields[2].handle(),
                                                              AXAttribute::value);
         },
         "password field was read"},
        {"a write into a revoked application",
         [](RaceWorld& world, RaceChecker& checker) {
             world.model->removeAllowedApp(world.apps[1].bundleID);
             checker.takePermissions();
             world.desktop.accessibility().setAttributeValue(
                 world.apps[1].fields[0].handle(), AXAttribute::value, AttributeValue(QStringLiteral("EN:")));
         },
         "while it is not allowed"},
        {"the clipboard left replaced",
         [](RaceWorld& world, RaceChecker&) {
             world.desktop.clipboard().setString(QStringLiteral("EN:今天"));
         },
         "clipboard"},
    };
    for (const Row& row : rows) {
        RaceWorld world;
        RaceChecker checker(world);
        row.breakPromise(world, checker);
        ASSERT_TRUE(world.settle());
        EXPECT_TRUE(checker.violations().join(u'\n').contains(QString::fromUtf8(row.seen))) << row.name;
    }
}

} // namespace
} // namespace qw::test
