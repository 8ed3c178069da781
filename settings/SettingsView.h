#pragma once

#include <QWidget>

namespace qw {

// A piece of the settings window or the guide: a view over shared objects (the model, login
// start, the guide's state) that holds nothing of its own beyond a draft being typed. It shows
// them again, texts included, once after every burst of their changes, so a new interface
// language reaches every open page: the model publishes that change before the language is in
// effect, hence the queued showing.
class SettingsView : public QWidget {
    Q_OBJECT

public:
    explicit SettingsView(QWidget* parent = nullptr);

    // Shows the shared objects now, in the current interface language.
    void render();

protected:
    // Every text and state of the view, from the shared objects.
    virtual void present() = 0;
    // Shows again after the current burst of changes.
    void scheduleRender();
    template <class Source, class Signal> void follow(Source* source, Signal signal)
    {
        connect(source, signal, this, [this] { scheduleRender(); });
    }

private:
    bool m_renderPending = false;
};

} // namespace qw
