#include "platform/DesktopApplications.h"

#include "core/ApplicationId.h"
#include "l10n/L10n.h"
#include "platform/DesktopEntryIndex.h"

#include <QCollator>
#include <QLocale>
#include <algorithm>

namespace qw {

namespace {

// The locale whose Name[...] is shown: the interface's language, not the session's.
QString localeName()
{
    return L10n::currentCode() == u"zh-Hans" ? QStringLiteral("zh_CN") : QStringLiteral("en_US");
}

} // namespace

DesktopApplications::DesktopApplications(const DesktopEntryIndex& index) : m_index(index) {}

QList<InstalledApplication> DesktopApplications::list() const
{
    const QString locale = localeName();
    QList<InstalledApplication> applications;
    for (const DesktopEntry& entry : m_index.entries()) {
        if (entry.hidden || entry.noDisplay || entry.terminal || entry.id == applicationId())
            continue;
        applications.append({entry.id, entry.nameFor(locale), entry.icon});
    }
    QCollator collator{QLocale(locale)};
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(applications.begin(), applications.end(),
                     [&collator](const InstalledApplication& a, const InstalledApplication& b) {
                         return collator.compare(a.name, b.name) < 0;
                     });
    return applications;
}

} // namespace qw
