#include "settings/ConfirmationDialogs.h"

#include "l10n/L10n.h"

#include <QMessageBox>
#include <QPushButton>

namespace qw::ConfirmationDialogs {

namespace {

struct Texts {
    QString title;
    QString message;
    QString informative;
    QString confirm;
};

QMessageBox* ask(QWidget* parent, const Texts& texts, std::function<void()> onConfirmed)
{
    auto* box = new QMessageBox(parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setIcon(QMessageBox::Warning);
    box->setWindowTitle(texts.title);
    box->setText(texts.message);
    box->setInformativeText(texts.informative);
    // Both buttons share one role so that every desktop's button layout keeps them in this
    // order: "cancel" first, the confirming one second. Cancel is the default: Enter or Escape
    // never confirms by accident.
    QPushButton* cancel = box->addButton(L10n::text(L10N_KEY("取消")), QMessageBox::ActionRole);
    QPushButton* confirm = box->addButton(texts.confirm, QMessageBox::ActionRole);
    box->setDefaultButton(cancel);
    box->setEscapeButton(cancel);
    QObject::connect(box, &QMessageBox::buttonClicked, box,
                     [confirm, onConfirmed = std::move(onConfirmed)](QAbstractButton* clicked) {
                         if (clicked == confirm && onConfirmed)
                             onConfirmed();
                     });
    if (parent) {
        box->open(); // window-modal: the rest of the program keeps running
    } else {
        box->setWindowModality(Qt::ApplicationModal);
        box->show();
    }
    box->raise();
    box->activateWindow();
    return box;
}

} // namespace

QMessageBox* askRevoke(QWidget* parent, const TranslationApplication& app, std::function<void()> onConfirmed)
{
    return ask(parent,
               {app.name, L10n::format(L10N_KEY("取消 %@ 的翻译授权？"), {app.name}),
                L10n::text(L10N_KEY("将停止此应用的输入翻译和页面选区翻译；需要时可在应用权限中重新允许。")),
                L10n::text(L10N_KEY("取消授权"))},
               std::move(onConfirmed));
}

QMessageBox* askAllowBrowser(QWidget* parent, const TranslationApplication& app,
                             std::function<void()> onConfirmed)
{
    // The message itself speaks of "the whole browser": the title says which one.
    return ask(
        parent,
        {app.name, L10n::text(L10N_KEY("允许整个浏览器翻译？")),
         L10n::text(L10N_KEY(
             "权限覆盖此浏览器的所有网站。选中的文字可能发送给当前服务商；无法自动排除隐私浏览窗口。")),
         L10n::text(L10N_KEY("允许授权此应用"))},
        std::move(onConfirmed));
}

QMessageBox* askDeleteKey(QWidget* parent, std::function<void()> onConfirmed)
{
    return ask(parent,
               {L10n::text(L10N_KEY("删除密钥")), L10n::text(L10N_KEY("删除当前服务商的 API Key？")),
                QString(), L10n::text(L10N_KEY("删除"))},
               std::move(onConfirmed));
}

} // namespace qw::ConfirmationDialogs
