#include "tests/support/desktop/SubstituteClipboard.h"

#include "tests/support/desktop/DesktopHandles.h"
#include "tests/support/desktop/SubstituteDesktop.h"

namespace qw::test {

int SubstituteClipboard::itemCount() const
{
    std::lock_guard lock(m_d.m_mutex);
    return int(m_d.m_clipboard.size());
}

QStringList SubstituteClipboard::types(int item) const
{
    std::lock_guard lock(m_d.m_mutex);
    QStringList result;
    if (item < 0 || item >= m_d.m_clipboard.size())
        return result;
    for (const auto& representation : m_d.m_clipboard.at(item).representations)
        result.append(representation.type);
    return result;
}

std::optional<QByteArray> SubstituteClipboard::data(int item, const QString& type) const
{
    std::lock_guard lock(m_d.m_mutex);
    if (item < 0 || item >= m_d.m_clipboard.size() || m_d.m_unreadableTypes.contains(type))
        return std::nullopt;
    for (const auto& representation : m_d.m_clipboard.at(item).representations) {
        if (representation.type == type)
            return representation.data;
    }
    return std::nullopt;
}

void SubstituteClipboard::clear()
{
    m_d.writeClipboard({});
}

bool SubstituteClipboard::setString(const QString& text)
{
    std::lock_guard lock(m_d.m_mutex);
    if (m_d.m_refuseText)
        return false;
    m_d.writeClipboard({ClipboardItem{{{DesktopHandles::plainText, text.toUtf8()}}}});
    return true;
}

bool SubstituteClipboard::writeItems(const QList<ClipboardItem>& items)
{
    std::lock_guard lock(m_d.m_mutex);
    QList<ClipboardItem> next = m_d.m_clipboard;
    next.append(items);
    m_d.writeClipboard(next);
    return true;
}

qint64 SubstituteClipboard::changeCount() const
{
    std::lock_guard lock(m_d.m_mutex);
    return m_d.m_changeCount;
}

} // namespace qw::test
