#include "accessibility/adapters/AXVocabulary.h"
#include "platform/atspi/AtspiElementRef.h"
#include "platform/atspi/AtspiFocusTracker.h"
#include "platform/atspi/AtspiRoles.h"
#include "platform/atspi/TextOffsets.h"

#include <gtest/gtest.h>

namespace qw {
namespace {

using namespace Qt::StringLiterals;

// "a😀b": the emoji is one GTK character and two UTF-16 units.
const QString mixed = u"a😀b"_s;

TEST(TextOffsets, CodePointOffsetsMapExactlyToUtf16IndicesAroundAPair)
{
    struct Row {
        const char* situation;
        qsizetype utf16;
        std::optional<int> codePoint;
    };
    const Row rows[] = {
        {"start", 0, 0},
        {"before the emoji", 1, 1},
        {"inside the emoji", 2, std::nullopt},
        {"after the emoji", 3, 2},
        {"end", 4, 3},
        {"past the end", 5, std::nullopt},
        {"negative", -1, std::nullopt},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(TextOffsets::toPlatform(mixed, row.utf16, OffsetUnit::codePoints), row.codePoint)
            << row.situation;
        if (row.codePoint) {
            EXPECT_EQ(TextOffsets::fromPlatform(mixed, *row.codePoint, OffsetUnit::codePoints), row.utf16)
                << row.situation;
        }
    }
    EXPECT_EQ(TextOffsets::fromPlatform(mixed, 4, OffsetUnit::codePoints), std::nullopt);
    EXPECT_EQ(TextOffsets::platformLength(mixed, OffsetUnit::codePoints), 3);
}

TEST(TextOffsets, Utf16ToolkitsPassThroughAndLoneSurrogatesCountOnce)
{
    EXPECT_EQ(TextOffsets::toPlatform(mixed, 2, OffsetUnit::utf16), 2);
    EXPECT_EQ(TextOffsets::fromPlatform(mixed, 4, OffsetUnit::utf16), 4);
    EXPECT_EQ(TextOffsets::fromPlatform(mixed, 5, OffsetUnit::utf16), std::nullopt);
    EXPECT_EQ(TextOffsets::platformLength(mixed, OffsetUnit::utf16), 4);
    // A broken pair (as a toolkit may hand out) must not swallow its neighbour.
    const QString broken = QString(QChar(0xD83D)) + u"x"_s;
    EXPECT_EQ(TextOffsets::toPlatform(broken, 1, OffsetUnit::codePoints), 1);
    EXPECT_EQ(TextOffsets::fromPlatform(broken, 2, OffsetUnit::codePoints), 2);
}

TEST(AtspiElementRef, HandlesRoundTripAndRejectForeignIdentities)
{
    const auto object =
        AtspiElementRef::parse(AtspiElementRef::object(u":1.42"_s, u"/org/a11y/atspi/accessible/7"_s));
    ASSERT_TRUE(object);
    EXPECT_EQ(object->kind, AtspiElementRef::Kind::object);
    EXPECT_EQ(object->busName, u":1.42"_s);
    EXPECT_EQ(object->path, u"/org/a11y/atspi/accessible/7"_s);

    const auto application = AtspiElementRef::parse(AtspiElementRef::application(314));
    ASSERT_TRUE(application);
    EXPECT_EQ(application->kind, AtspiElementRef::Kind::application);
    EXPECT_EQ(application->pid, 314);
    EXPECT_EQ(AtspiElementRef::parse(AtspiElementRef::systemWide())->kind, AtspiElementRef::Kind::systemWide);

    EXPECT_EQ(AtspiElementRef::object(u":1.2"_s, u"/a"_s), AtspiElementRef::object(u":1.2"_s, u"/a"_s));
    EXPECT_NE(AtspiElementRef::object(u":1.2"_s, u"/a"_s), AtspiElementRef::object(u":1.3"_s, u"/a"_s));
    for (const char* bad : {"", "pid|0", "pid|abc", ":1.2|relative", "|/path", ":1.2|"})
        EXPECT_FALSE(AtspiElementRef::parse(AccessibilityElement(QString::fromLatin1(bad)))) << bad;
}

TEST(AtspiRoles, TextRolesBecomeTheFieldRolesTheEngineAcceptsAndStatesSpanBothWords)
{
    const quint64 none = 0;
    const quint64 single = quint64(1) << AtspiRoles::singleLine;
    const quint64 multi = quint64(1) << AtspiRoles::multiLine;
    struct Row {
        const char* situation;
        quint32 role;
        quint64 states;
        QString expected;
    };
    const Row rows[] = {
        {"GTK entry", AtspiRoles::entry, single, AXRole::textField},
        {"GTK text view", AtspiRoles::text, multi, AXRole::textArea},
        {"Qt line edit (role text, single line)", AtspiRoles::text, single, AXRole::textField},
        {"Qt line edit without line state", AtspiRoles::text, none, AXRole::textField},
        {"password text", AtspiRoles::passwordText, single, AXRole::textField},
        {"editable paragraph", AtspiRoles::paragraph, none, AXRole::group},
        {"unknown role", 999, none, AXRole::unknown},
    };
    for (const Row& row : rows)
        EXPECT_EQ(AtspiRoles::axRole(row.role, row.states), row.expected) << row.situation;
    EXPECT_TRUE(AtspiRoles::isProtected(AtspiRoles::passwordText));
    EXPECT_FALSE(AtspiRoles::isProtected(AtspiRoles::entry));
    // A state set spans both of its 32-bit words.
    const quint64 states = AtspiRoles::stateSet(1u << AtspiRoles::focused, 1u << 1);
    EXPECT_TRUE(AtspiRoles::has(states, AtspiRoles::focused));
    EXPECT_FALSE(AtspiRoles::has(states, AtspiRoles::editable));
    EXPECT_TRUE(AtspiRoles::has(states, static_cast<AtspiRoles::State>(33)));
}

// Typing points at a field only until the focus moves anywhere: a later focus event, of this
// program or another, or the field's own unfocus ends it.
TEST(AtspiFocusTracker, TypingPointsAtAFieldOnlyUntilTheNextFocusEvent)
{
    const QString editor = u":1.5"_s, other = u":1.9"_s;
    const struct {
        const char* situation;
        std::function<void(AtspiFocusTracker&)> after;
        std::optional<QString> typed;
    } rows[] = {
        {"typed in", [](AtspiFocusTracker&) {}, u"/entry"_s},
        {"typed in again elsewhere", [&](AtspiFocusTracker& t) { t.textChanged(editor, u"/view"_s); },
         u"/view"_s},
        {"another program's focus event", [&](AtspiFocusTracker& t) { t.focused(other, u"/field"_s); }, {}},
        {"this program's focus event", [&](AtspiFocusTracker& t) { t.focused(editor, u"/view"_s); }, {}},
        {"its own unfocus", [&](AtspiFocusTracker& t) { t.unfocused(editor, u"/entry"_s); }, {}},
        {"another object's unfocus", [&](AtspiFocusTracker& t) { t.unfocused(editor, u"/view"_s); },
         u"/entry"_s},
        {"the program left the bus", [&](AtspiFocusTracker& t) { t.forget(editor); }, {}},
    };
    for (const auto& row : rows) {
        AtspiFocusTracker tracker;
        tracker.focused(editor, u"/view"_s);
        tracker.unfocused(editor, u"/view"_s);
        tracker.textChanged(editor, u"/entry"_s);
        row.after(tracker);
        EXPECT_EQ(tracker.typedPath(editor), row.typed) << row.situation;
        EXPECT_EQ(tracker.typedPath(other), std::nullopt) << row.situation;
    }
}

} // namespace
} // namespace qw
