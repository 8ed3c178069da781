#include "settings/ApplicationChooser.h"

#include "l10n/L10n.h"
#include "settings/InstalledApplications.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QEvent>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace qw {

namespace {

constexpr int idRole = Qt::UserRole;
constexpr int nameRole = Qt::UserRole + 1;

QIcon iconFor(const QString& iconName)
{
    static const QString fallback = QStringLiteral("application-x-executable");
    if (iconName.startsWith(u'/'))
        return QIcon(iconName);
    return QIcon::fromTheme(iconName.isEmpty() ? fallback : iconName, QIcon::fromTheme(fallback));
}

} // namespace

ApplicationChooser::ApplicationChooser(InstalledApplications& applications, QWidget* parent)
    : QDialog(parent), m_applications(applications)
{
    setAttribute(Qt::WA_DeleteOnClose);
    m_search = new QLineEdit(this);
    m_search->setClearButtonEnabled(true);
    m_search->installEventFilter(this);
    m_list = new QListWidget(this);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setIconSize(QSize(32, 32));
    m_list->setUniformItemSizes(true);
    m_nothingFound = new QLabel(this);
    m_nothingFound->setAlignment(Qt::AlignCenter);
    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_search);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_nothingFound);
    layout->addWidget(m_buttons);
    setTabOrder(m_search, m_list);
    setTabOrder(m_list, m_buttons);

    connect(m_search, &QLineEdit::textChanged, this, &ApplicationChooser::filter);
    connect(m_list, &QListWidget::currentItemChanged, this, &ApplicationChooser::updateButtons);
    connect(m_list, &QListWidget::itemActivated, this, &ApplicationChooser::accept);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &ApplicationChooser::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &ApplicationChooser::reject);

    resize(460, 520);
    relocalize();
    populate();
    m_search->setFocus();
}

QStringList ApplicationChooser::visibleIds() const
{
    QStringList ids;
    for (int row = 0; row < m_list->count(); ++row) {
        if (!m_list->item(row)->isHidden())
            ids.append(m_list->item(row)->data(idRole).toString());
    }
    return ids;
}

void ApplicationChooser::accept()
{
    const QListWidgetItem* current = m_list->currentItem();
    if (!current || current->isHidden())
        return;
    const TranslationApplication app{current->data(idRole).toString(), current->data(nameRole).toString()};
    Q_EMIT chosen(app);
    QDialog::accept();
}

void ApplicationChooser::populate()
{
    const QString currentId =
        m_list->currentItem() ? m_list->currentItem()->data(idRole).toString() : QString();
    m_list->clear();
    for (const InstalledApplication& application : m_applications.list()) {
        auto* item = new QListWidgetItem(iconFor(application.iconName),
                                         application.name + u'\n' + application.id, m_list);
        item->setData(idRole, application.id);
        item->setData(nameRole, application.name);
        item->setData(Qt::AccessibleTextRole, application.name);
        if (application.id == currentId)
            m_list->setCurrentItem(item);
    }
    filter();
}

void ApplicationChooser::filter()
{
    const QString needle = m_search->text().trimmed();
    QListWidgetItem* firstShown = nullptr;
    for (int row = 0; row < m_list->count(); ++row) {
        QListWidgetItem* item = m_list->item(row);
        const bool matches = item->data(nameRole).toString().contains(needle, Qt::CaseInsensitive) ||
                             item->data(idRole).toString().contains(needle, Qt::CaseInsensitive);
        item->setHidden(!matches);
        if (matches && !firstShown)
            firstShown = item;
    }
    // Enter after typing takes the best match: the current row is always one that is shown.
    if (!m_list->currentItem() || m_list->currentItem()->isHidden())
        m_list->setCurrentItem(firstShown);
    m_nothingFound->setVisible(!firstShown);
    updateButtons();
}

void ApplicationChooser::updateButtons()
{
    const QListWidgetItem* current = m_list->currentItem();
    m_buttons->button(QDialogButtonBox::Ok)->setEnabled(current && !current->isHidden());
}

void ApplicationChooser::relocalize()
{
    setWindowTitle(L10n::text(L10N_KEY("选择应用")));
    m_search->setPlaceholderText(L10n::text(L10N_KEY("按名称或标识搜索")));
    m_search->setAccessibleName(L10n::text(L10N_KEY("按名称或标识搜索")));
    m_list->setAccessibleName(L10n::text(L10N_KEY("已安装的应用")));
    m_nothingFound->setText(L10n::text(L10N_KEY("没有匹配的应用")));
    m_buttons->button(QDialogButtonBox::Ok)->setText(L10n::text(L10N_KEY("添加")));
    m_buttons->button(QDialogButtonBox::Cancel)->setText(L10n::text(L10N_KEY("取消")));
}

void ApplicationChooser::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) {
        relocalize();
        populate(); // the names follow the interface language too
    }
    QDialog::changeEvent(event);
}

bool ApplicationChooser::eventFilter(QObject* watched, QEvent* event)
{
    // The arrow keys move through the list while the search field keeps the typing.
    if (watched == m_search && event->type() == QEvent::KeyPress) {
        switch (static_cast<QKeyEvent*>(event)->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
            QCoreApplication::sendEvent(m_list, event);
            return true;
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace qw
