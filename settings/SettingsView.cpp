#include "settings/SettingsView.h"

namespace qw {

SettingsView::SettingsView(QWidget* parent) : QWidget(parent) {}

void SettingsView::render()
{
    m_renderPending = false;
    present();
}

void SettingsView::scheduleRender()
{
    if (m_renderPending)
        return;
    m_renderPending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_renderPending)
                render();
        },
        Qt::QueuedConnection);
}

} // namespace qw
