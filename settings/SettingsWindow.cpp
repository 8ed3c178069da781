#include "settings/SettingsWindow.h"

#include "l10n/L10n.h"
#include "model/AppModel.h"
#include "settings/ApplicationsPage.h"
#include "settings/DiagnosticsPage.h"
#include "settings/GeneralPage.h"
#include "settings/ModelsPage.h"
#include "settings/PrivacyPage.h"
#include "settings/ShortcutsPage.h"
#include "settings/TranslationPage.h"
#include "settings/UpdatesGroup.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QScrollArea>
#include <QStackedWidget>
#include <QStyle>
#include <QVBoxLayout>

namespace qw {

SettingsWindow::SettingsWindow(Shared shared, QWidget* parent)
    : SettingsView(parent), m_model(shared.model), m_sidebar(new QListWidget(this)),
      m_stack(new QStackedWidget(this)),
      m_general(new GeneralPage(shared.model, shared.startup, std::move(shared.openOnboarding))),
      m_translation(new TranslationPage(shared.model)), m_models(new ModelsPage(shared.model)),
      m_applications(new ApplicationsPage(shared.model, shared.installedApplications)),
      m_privacy(new PrivacyPage(shared.model)), m_shortcuts(new ShortcutsPage(shared.model)),
      m_diagnostics(new DiagnosticsPage(shared.model))
{
    setWindowFlag(Qt::Window);
    setMinimumSize(minimumWindowSize);
    resize(minimumWindowSize);
    setWindowIcon(QIcon::fromTheme(QStringLiteral("preferences-desktop-locale")));

    m_sidebar->setFixedWidth(170);
    m_sidebar->setFrameShape(QFrame::NoFrame);
    m_sidebar->setSpacing(2);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    row->addWidget(m_sidebar);
    row->addWidget(m_stack, 1);

    if (shared.updates)
        m_general->setUpdatesGroup(new UpdatesGroup(*shared.updates));
    addPage(SettingsSection::general, m_general);
    addPage(SettingsSection::translation, m_translation);
    addPage(SettingsSection::models, m_models);
    addPage(SettingsSection::applications, m_applications);
    addPage(SettingsSection::privacy, m_privacy);
    addPage(SettingsSection::shortcuts, m_shortcuts);
    addPage(SettingsSection::diagnostics, m_diagnostics);
    connect(m_sidebar, &QListWidget::currentRowChanged, m_stack, &QStackedWidget::setCurrentIndex);
    connect(m_translation, &TranslationPage::sectionRequested, this,
            [this](SettingsSection s) { showSection(s); });
    connect(m_models, &ModelsPage::sectionRequested, this, [this](SettingsSection s) { showSection(s); });
    m_sidebar->setCurrentRow(0);

    follow(&m_model, &AppModel::changed);
    render();
}

namespace {

// The desktop's own symbols for the pages, where its icon theme has them.
QIcon sectionIcon(SettingsSection section)
{
    const auto themed = [](const char* name) {
        return QIcon::fromTheme(QString::fromLatin1(name));
    };
    switch (section) {
    case SettingsSection::general:
        return themed("preferences-system");
    case SettingsSection::translation:
        return themed("preferences-desktop-locale");
    case SettingsSection::models:
        return themed("network-server");
    case SettingsSection::applications:
        return themed("applications-other");
    case SettingsSection::privacy:
        return themed("security-high");
    case SettingsSection::shortcuts:
        return themed("preferences-desktop-keyboard-shortcuts");
    case SettingsSection::diagnostics:
        return themed("utilities-system-monitor");
    }
    return {};
}

} // namespace

void SettingsWindow::addPage(SettingsSection section, QWidget* page)
{
    // The page under its title, with room around it; a page taller than the window scrolls
    // rather than being cut off.
    auto* framed = new QWidget;
    auto* column = new QVBoxLayout(framed);
    // The page keeps its own layout margins: together they make the usual 24-point inset.
    column->setContentsMargins(16, 14, 16, 0);
    column->setSpacing(0);
    auto* heading = new QLabel(framed);
    QFont headingFont = heading->font();
    headingFont.setPointSizeF(headingFont.pointSizeF() * 1.35);
    headingFont.setBold(true);
    heading->setFont(headingFont);
    // Aligned with the page's groups, which sit inside the page's own layout margin.
    heading->setIndent(heading->style()->pixelMetric(QStyle::PM_LayoutLeftMargin));
    column->addWidget(heading);
    column->addWidget(page, 1);
    auto* scroll = new QScrollArea(m_stack);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidget(framed);
    m_stack->addWidget(scroll);
    m_pages.emplace(section, page);
    m_headings.emplace(section, heading);
    auto* item = new QListWidgetItem(m_sidebar);
    item->setData(Qt::UserRole, static_cast<int>(section));
    item->setIcon(sectionIcon(section));
    item->setSizeHint(QSize(0, 36));
}

QWidget* SettingsWindow::page(SettingsSection section) const
{
    return m_pages.at(section);
}

void SettingsWindow::showSection(SettingsSection section)
{
    m_sidebar->setCurrentRow(static_cast<int>(allSettingsSections().indexOf(section)));
}

SettingsSection SettingsWindow::currentSection() const
{
    return allSettingsSections().value(m_sidebar->currentRow(), SettingsSection::general);
}

void SettingsWindow::present()
{
    setWindowTitle(L10n::text(L10N_KEY("Quillweave 设置")));
    m_sidebar->setAccessibleName(L10n::text(L10N_KEY("设置页面")));
    const QList<SettingsSection> sections = allSettingsSections();
    for (int i = 0; i < m_sidebar->count(); ++i)
        m_sidebar->item(i)->setText(title(sections.at(i)));
    for (const auto& [section, heading] : m_headings)
        heading->setText(title(section));
}

} // namespace qw
