#pragma once

#include "accessibility/adapters/Clipboard.h"

namespace qw::test {

class SubstituteDesktop;

class SubstituteClipboard final : public Clipboard {
public:
    explicit SubstituteClipboard(SubstituteDesktop& desktop) : m_d(desktop) {}

    int itemCount() const override;
    QStringList types(int item) const override;
    std::optional<QByteArray> data(int item, const QString& type) const override;
    void clear() override;
    bool setString(const QString& text) override;
    bool writeItems(const QList<ClipboardItem>& items) override;
    qint64 changeCount() const override;

private:
    SubstituteDesktop& m_d;
};

} // namespace qw::test
