#include "tests/race/RaceScript.h"

namespace qw::test {

using namespace std::chrono_literals;

RaceScript::RaceScript(quint64 seed) : m_seed(seed), m_random(seed) {}

QString RaceScript::drawText(int app)
{
    const QString& letters = RaceChecker::alphabets()[app];
    QString text;
    const int words = 1 + pick(3);
    for (int word = 0; word < words; ++word) {
        text += letters[pick(int(letters.size()))];
        text += letters[pick(int(letters.size()))];
    }
    if (chance(5))
        text += QString::number(pick(100));
    if (chance(3))
        text += u' ' + RaceChecker::secretKey();
    return text;
}

void RaceScript::pass(int milliseconds)
{
    // At a hold the worker stands still: time passes without coming to rest.
    if (m_inHold)
        m_world.time.advance(std::chrono::milliseconds(milliseconds));
    else if (!m_world.wait(std::chrono::milliseconds(milliseconds)))
        m_stuck = true;
}

void RaceScript::typeInto(bool fresh)
{
    DesktopElement& field = focusedField();
    const bool password = m_focused[std::size_t(m_front)] == 2;
    QString value = fresh ? QString() : field.currentValue().value_or(QString());
    value += password ? RaceChecker::passwordWord() : drawText(m_front);
    field.value(value).selection(value.size(), 0);
    m_checker.userActed();
}

void RaceScript::inspect()
{
    // What the focus monitor's value-change and focus events lead to in the tray program.
    m_world.model->inspectFocus(false);
}

RaceScript::Action RaceScript::drawAction()
{
    struct Choice {
        int weight;
        std::function<Action()> make;
    };
    const std::vector<Choice> choices{
        {14,
         [&] {
             const bool fresh = chance(30);
             const bool notify = chance(80);
             return Action{QStringLiteral("type"), [this, fresh, notify] {
                               typeInto(fresh);
                               if (notify)
                                   inspect();
                           }};
         }},
        {14,
         [&] {
             // The common case: the user types, pauses, and the preview comes.
             const bool fresh = chance(50);
             return Action{QStringLiteral("type and pause"), [this, fresh] {
                               typeInto(fresh);
                               inspect();
                               pass(m_world.model->debounceMilliseconds());
                               pass(int(m_world.transport->latency.count()) + 10);
                           }};
         }},
        {5,
         [&] {
             const int count = 1 + pick(2);
             return Action{QStringLiteral("delete %1").arg(count), [this, count] {
                               DesktopElement& field = focusedField();
                               QString value = field.currentValue().value_or(QString());
                               value.chop(std::min<qsizetype>(count, value.size()));
                               field.value(value).selection(value.size(), 0);
                               m_checker.userActed();
                               inspect();
                           }};
         }},
        {4,
         [&] {
             const int where = pick(8);
             return Action{QStringLiteral("caret %1").arg(where), [this, where] {
                               DesktopElement& field = focusedField();
                               const qsizetype size = field.currentValue().value_or(QString()).size();
                               field.selection(std::min<qsizetype>(where, size), 0);
                               m_checker.userActed();
                               inspect();
                           }};
         }},
        {5,
         [&] {
             const int from = pick(4), length = 1 + pick(4);
             const bool pause = chance(50);
             return Action{
                 QStringLiteral("select %1+%2%3").arg(from).arg(length).arg(pause ? " and pause" : ""),
                 [this, from, length, pause] {
                     DesktopElement& field = focusedField();
                     const qsizetype size = field.currentValue().value_or(QString()).size();
                     const qsizetype start = std::min<qsizetype>(from, size);
                     field.selection(start, std::min<qsizetype>(length, size - start));
                     m_checker.userActed();
                     inspect();
                     m_world.model->inspectSelectionAfterMouseUp(std::nullopt); // the mouse-up
                     if (pause)
                         pass(int(m_world.transport->latency.count()) + 10);
                 }};
         }},
        {6,
         [&] {
             const int index = chance(15) ? 2 : pick(2);
             return Action{QStringLiteral("focus field %1").arg(index), [this, index] {
                               m_focused[std::size_t(m_front)] = index;
                               focusedField().focus();
                               m_checker.userActed();
                               inspect();
                           }};
         }},
        {5,
         [&] {
             const int app = pick(3);
             return Action{QStringLiteral("switch to app %1").arg(app), [this, app] {
                               m_front = app;
                               front().handle.activate();
                               m_checker.userActed();
                               inspect();
                           }};
         }},
        {6,
         [&] {
             const int variant = pick(1000);
             return Action{QStringLiteral("another program copies"), [this, variant] {
                               m_world.desktop.setClipboardItems({ClipboardItem{
                                   {{QStringLiteral("text/plain"), QByteArray::number(variant)},
                                    {QStringLiteral("image/png"), QByteArray("png")}}}});
                               m_checker.clipboardSetBySomeoneElse();
                           }};
         }},
        {2,
         [&] {
             return Action{QStringLiteral("copy button"), [this] {
                               m_world.model->copyTranslation();
                               m_checker.clipboardSetBySomeoneElse();
                           }};
         }},
        {14,
         [&] {
             static const int steps[] = {50, 300, 700, 900, 1300, 2000};
             const int ms = steps[pick(6)];
             return Action{QStringLiteral("wait %1 ms").arg(ms), [this, ms] {
                               pass(ms);
                           }};
         }},
        {16,
         [&] {
             return Action{QStringLiteral("replace"), [this] {
                               m_world.model->acceptTranslation();
                           }};
         }},
        {9,
         [&] {
             const bool hotkey = chance(50);
             return Action{hotkey ? QStringLiteral("restore hotkey") : QStringLiteral("restore"),
                           [this, hotkey] {
                               if (hotkey)
                                   m_world.model->performHotkeyUndo();
                               else
                                   m_world.model->undoReplacement();
                           }};
         }},
        {4,
         [&] {
             return Action{QStringLiteral("translate hotkey"), [this] {
                               m_world.model->performHotkeyAction();
                           }};
         }},
        {2,
         [&] {
             return Action{QStringLiteral("close bubble"), [this] {
                               m_world.model->discardPreview();
                           }};
         }},
        {1,
         [&] {
             return Action{QStringLiteral("retry"), [this] {
                               m_world.model->retryTranslation();
                           }};
         }},
        {3,
         [&] {
             return Action{QStringLiteral("toggle clipboard mode"), [this] {
                               m_world.model->setPasteFallback(!m_world.model->pasteFallback());
                           }};
         }},
        {1,
         [&] {
             const int ms =
                 AppModel::allowedDebounceValues()[pick(int(AppModel::allowedDebounceValues().size()))];
             return Action{QStringLiteral("typing pause %1").arg(ms), [this, ms] {
                               m_world.model->setDebounceMilliseconds(ms);
                           }};
         }},
        {2,
         [&] {
             const bool japanese = chance(50);
             return Action{QStringLiteral("target language"), [this, japanese] {
                               m_world.model->setInputTargetLanguage(japanese ? TranslationLanguage::japanese
                                                                              : TranslationLanguage::english);
                           }};
         }},
        {2,
         [&] {
             return Action{QStringLiteral("toggle selection mode"), [this] {
                               m_world.model->setInputTranslationMode(m_world.model->inputTranslationMode() ==
                                                                              TranslationMode::automatic
                                                                          ? TranslationMode::selection
                                                                          : TranslationMode::automatic);
                           }};
         }},
        {1,
         [&] {
             return Action{QStringLiteral("toggle input translation"), [this] {
                               m_world.model->setInputTranslationEnabled(
                                   !m_world.model->inputTranslationEnabled());
                           }};
         }},
        {3,
         [&] {
             const int app = pick(3);
             return Action{QStringLiteral("revoke app %1").arg(app), [this, app] {
                               m_world.model->removeAllowedApp(m_world.apps[std::size_t(app)].bundleID);
                           }};
         }},
        {3,
         [&] {
             const int app = pick(3);
             return Action{QStringLiteral("allow app %1").arg(app), [this, app] {
                               m_world.model->allowApplication(m_world.model->applicationIdentity(
                                   m_world.apps[std::size_t(app)].bundleID));
                           }};
         }},
        {2,
         [&] {
             const int app = pick(3);
             return Action{QStringLiteral("pause app %1").arg(app), [this, app] {
                               m_world.model->ignoreAppToday(m_world.model->applicationIdentity(
                                   m_world.apps[std::size_t(app)].bundleID));
                           }};
         }},
        {2,
         [&] {
             const int app = pick(3);
             return Action{QStringLiteral("resume app %1").arg(app), [this, app] {
                               m_world.model->resumeApp(m_world.apps[std::size_t(app)].bundleID);
                           }};
         }},
        {1,
         [&] {
             return Action{QStringLiteral("revoke hotkey"), [this] {
                               // The confirmation is answered yes.
                               m_world.model->callbacks().onRevokeConfirmationRequested =
                                   [this](const TranslationApplication& app) {
                                       m_world.model->removeAllowedApp(app.bundleID);
                                   };
                               m_world.model->performHotkeyRevoke();
                           }};
         }},
        {1,
         [&] {
             return Action{QStringLiteral("pause hotkey"), [this] {
                               m_world.model->performHotkeyIgnoreToday();
                           }};
         }},
        {2,
         [&] {
             static const TranslationProvider providers[] = {
                 TranslationProvider::openAI, TranslationProvider::deepSeek, TranslationProvider::kimi};
             const TranslationProvider provider = providers[pick(3)];
             return Action{QStringLiteral("provider %1").arg(rawValue(provider)), [this, provider] {
                               m_world.model->setSelectedProvider(provider);
                           }};
         }},
        {1,
         [&] {
             return Action{QStringLiteral("toggle accessibility trust"), [this] {
                               m_world.desktop.setTrusted(
                                   !m_world.desktop.accessibility().isProcessTrusted());
                           }};
         }},
        {5,
         [&] {
             const bool settable = chance(40);
             return Action{QStringLiteral("field settable %1").arg(settable), [this, settable] {
                               focusedField().valueSettable(settable);
                           }};
         }},
        {1,
         [&] {
             const bool slow = chance(40);
             return Action{QStringLiteral("app slow %1").arg(slow), [this, slow] {
                               front().handle.slow(slow);
                           }};
         }},
        {2,
         [&] {
             const bool failing = chance(40);
             return Action{QStringLiteral("provider failing %1").arg(failing), [this, failing] {
                               FakeChatTransport* transport = m_world.transport;
                               transport->answer = [failing](const FakeChatTransport::Sent& sent) {
                                   if (failing)
                                       return TransportReply::response(500, "{}");
                                   return TransportReply::response(
                                       200,
                                       FakeChatTransport::okBody(QStringLiteral("EN:") + sent.userText()));
                               };
                           }};
         }},
        {2,
         [&] {
             static const int latencies[] = {50, 200, 900, 2500};
             const int ms = latencies[pick(4)];
             return Action{QStringLiteral("provider latency %1").arg(ms), [this, ms] {
                               m_world.transport->latency = std::chrono::milliseconds(ms);
                           }};
         }},
    };
    int total = 0;
    for (const Choice& choice : choices)
        total += choice.weight;
    int draw = pick(total);
    for (const Choice& choice : choices) {
        if (draw < choice.weight)
            return choice.make();
        draw -= choice.weight;
    }
    return choices.front().make();
}

bool RaceScript::run(int steps)
{
    if (!m_world.settle()) // the model's first silent look at the key
        return false;
    for (int step = 0; step < steps; ++step) {
        QString description;
        if (step > 0 && chance(33)) {
            // Something happens while the worker is in the middle of what a second action starts.
            const int reads = 1 + (chance(50) ? pick(6) : pick(16));
            Action during = drawAction();
            // Most often what is interrupted is a write or a restore, when one can start.
            const int kind = pick(10);
            const AppModel& model = *m_world.model;
            Action trigger = kind < 6 && model.canReplacePreview()
                                 ? Action{QStringLiteral("replace"),
                                          [this] {
                                              m_world.model->acceptTranslation();
                                          }}
                             : kind < 6 && model.hasUndo() ? Action{QStringLiteral("restore"),
                                                                    [this] {
                                                                        m_world.model->undoReplacement();
                                                                    }}
                                                           : drawAction();
            description =
                QStringLiteral("%1, and after read %2: %3").arg(trigger.first).arg(reads).arg(during.first);
            m_world.holdAfterReads(reads, [this, action = during.second] {
                m_inHold = true;
                action();
                m_inHold = false;
                m_checker.takePermissions();
            });
            trigger.second();
        } else {
            Action action = drawAction();
            description = action.first;
            action.second();
        }
        m_checker.takePermissions();
        const bool rested = m_world.settle();
        m_trace << QStringLiteral("%1 | field \"%2\" | %3")
                       .arg(description, focusedField().currentValue().value_or(QString()),
                            m_world.model->status());
        if (!rested || m_stuck) {
            m_failure = QStringLiteral("the model did not come to rest");
            return false;
        }
        if (!m_checker.violations().isEmpty()) {
            m_failure = m_checker.violations().join(QStringLiteral("; "));
            return false;
        }
    }
    return true;
}

QString RaceScript::report() const
{
    QString text = QStringLiteral("seed %1: %2\nsteps:\n").arg(m_seed).arg(m_failure);
    for (int index = 0; index < m_trace.size(); ++index)
        text += QStringLiteral("  %1. %2\n").arg(index + 1).arg(m_trace[index]);
    return text;
}

} // namespace qw::test
