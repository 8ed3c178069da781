#pragma once

#include "accessibility/AXWorker.h"
#include "core/InMemorySettingsStore.h"
#include "engine/TranslationService.h"
#include "l10n/LocalizationState.h"
#include "model/AppModel.h"
#include "tests/engine/FakeChatTransport.h"
#include "tests/support/AsyncTestHelpers.h"
#include "tests/support/VirtualTime.h"
#include "tests/support/desktop/SubstituteDesktop.h"

#include <chrono>
#include <gtest/gtest.h>
#include <memory>

namespace qw::test {

using namespace std::chrono_literals;

// The model wired to the substitute desktop (read and written through the real worker on its
// own thread), a provider answered by a fake transport, and virtual time for every wait: the
// typing pause, the provider's latency and the copy feedback only pass when a test advances.
class ModelTest : public ::testing::Test {
protected:
    void SetUp() override { LocalizationState::shared().setLanguage(InterfaceLanguage::chinese); }
    void TearDown() override
    {
        model.reset();
        LocalizationState::shared().setLanguage(InterfaceLanguage::system);
    }

    // Consent for the default provider, so translations go to the fake transport.
    void consentToCloud() { ASSERT_TRUE(settings.setBool(QStringLiteral("cloudConsent.openai"), true)); }

    // The collaborators every model test shares; a fixture adds what it needs on top.
    AppModel::Collaborators collaborators(TranslationService& translationService)
    {
        return {settings,
                time,
                time,
                timeZone,
                translationService,
                worker,
                generation,
                desktop.workspace(),
                [this] { return desktop.accessibility().isProcessTrusted(); },
                [this](const QString& text) {
                    copied.append(text);
                    return clipboardWorks;
                },
                {},
                ownPid};
    }

    AppModel& build(AppModel::Collaborators collaborators, QStringList defaultAllowed)
    {
        model = std::make_unique<AppModel>(std::move(collaborators), defaultAllowed);
        QObject::connect(model.get(), &AppModel::changed, [this] { ++changes; });
        return *model;
    }

    AppModel& makeModel(QStringList defaultAllowed = {AppModel::defaultAllowedApplication})
    {
        return build(collaborators(service), std::move(defaultAllowed));
    }

    // One inspection, waited for to its end (the focus read runs on the worker thread).
    void inspect(bool forceImmediate = false)
    {
        model->inspectFocus(forceImmediate);
        EXPECT_TRUE(pumpUntil([this] { return !model->isInspecting(); }, 5s));
    }

    // The user types: the value changes and the caret sits at its end.
    void type(DesktopElement& field, const QString& text)
    {
        field.value(text).selection(text.size(), 0);
        inspect();
    }

    // Lets a job that waits for the worker get past it, without moving virtual time.
    bool settleUntil(const std::function<bool()>& done) { return pumpUntil(done, 5s); }

    // From the end of the typing pause to the shown preview: the worker's check, the provider's
    // latency on virtual time, the worker's second check.
    void finishTranslation()
    {
        ASSERT_TRUE(
            settleUntil([this] { return model->isTranslating() || !model->hasPendingTranslation(); }));
        time.advance(transport->latency);
        ASSERT_TRUE(settleUntil([this] {
            return model->showingPreview() || model->showingError() || !model->hasPendingTranslation();
        }));
    }

    void translateNow(DesktopElement& field, const QString& text)
    {
        type(field, text);
        time.advance(std::chrono::milliseconds(model->debounceMilliseconds()));
        finishTranslation();
    }

    VirtualTime time;
    QTimeZone timeZone{QByteArrayLiteral("Europe/Berlin")};
    InMemorySettingsStore settings;
    SubstituteDesktop desktop;
    std::shared_ptr<AXAccessGeneration> generation = std::make_shared<AXAccessGeneration>();
    AXWorker worker{desktop.platform()};
    CredentialLoadResult keyResult = CredentialLoadResult::ok(QStringLiteral("sk-test-key"));
    FakeChatTransport* transport = new FakeChatTransport(time);
    TranslationService service{[this](TranslationProvider, bool) -> QCoro::Task<CredentialLoadResult> {
                                   co_return CredentialLoadResult(keyResult);
                               },
                               time, time, std::unique_ptr<ChatTransport>(transport)};
    qint32 ownPid = 1;
    QStringList copied;
    bool clipboardWorks = true;
    int changes = 0;

    DesktopApp editor =
        desktop.addApplication(AppModel::defaultAllowedApplication, QStringLiteral("Text Editor"));
    DesktopElement window = editor.window();
    std::unique_ptr<AppModel> model;
};

} // namespace qw::test
