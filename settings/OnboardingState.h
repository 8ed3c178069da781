#pragma once

#include "core/SettingsWriteResult.h"

#include <QObject>
#include <optional>

namespace qw {

class SettingsStore;

// How far the user got through the first-run guide, whether it was ever shown, postponed or
// finished, and whether this is a new installation. The delegate asks `shouldPresent()` at
// launch; the guide moves `step` from page to page. Every change is persisted at once; a change
// the store does not take leaves the state as it was and returns the failure.
class OnboardingState : public QObject {
    Q_OBJECT
    Q_PROPERTY(Step step READ step WRITE setStep NOTIFY stepChanged)
    Q_PROPERTY(bool completed READ completed NOTIFY completedChanged)
    Q_PROPERTY(bool deferred READ deferred NOTIFY deferredChanged)
    Q_PROPERTY(bool hasPresented READ hasPresented NOTIFY hasPresentedChanged)
    Q_PROPERTY(bool shouldPresent READ shouldPresent NOTIFY shouldPresentChanged)
    Q_PROPERTY(bool isNewInstallation READ isNewInstallation CONSTANT)

public:
    // The guide's pages, persisted as their integer values.
    enum class Step { privacy = 0, service = 1, applications = 2, finish = 3 };
    Q_ENUM(Step)

    // Reads the persisted state; on a new installation also marks the allowed-application list
    // as filled only by explicit choices.
    explicit OnboardingState(SettingsStore& defaults, QObject* parent = nullptr);

    Step step() const { return m_step; }
    SettingsWriteResult setStep(Step step);
    bool completed() const { return m_completed; }
    bool deferred() const { return m_deferred; }
    bool hasPresented() const { return m_hasPresented; }
    bool isNewInstallation() const { return m_isNewInstallation; }

    // Whether the guide opens by itself at launch: never once finished (or set up before the
    // guide existed), always before it was ever shown, and otherwise unless postponed.
    bool shouldPresent() const;

    // The guide is shown again after a postponement.
    SettingsWriteResult resume();
    // The user chose to finish the setup later.
    SettingsWriteResult postpone();
    // The user went through the guide to the end.
    SettingsWriteResult finish();

Q_SIGNALS:
    void stepChanged(qw::OnboardingState::Step step);
    void completedChanged(bool completed);
    void deferredChanged(bool deferred);
    void hasPresentedChanged(bool hasPresented);
    void shouldPresentChanged(bool shouldPresent);

private:
    // Saves that the guide was shown, with the new postponement and completion, in one write.
    SettingsWriteResult recordPresentation(std::optional<bool> completed, bool deferred);
    void setCompleted(bool completed);
    void setDeferred(bool deferred);
    void markPresented();

    SettingsStore& m_defaults;
    Step m_step = Step::privacy;
    bool m_completed = false;
    bool m_deferred = false;
    bool m_hasPresented = false;
    bool m_isNewInstallation = false;
};

} // namespace qw
