#include "settings/ApiKeyEditor.h"

#include "l10n/L10n.h"
#include "model/AppModel.h"
#include "settings/ConfirmationDialogs.h"
#include "settings/SettingsForms.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace qw {

namespace {

// As many stars whatever the key's length: the mask tells nothing about it.
const QString kMask = QStringLiteral("****************");

} // namespace

ApiKeyEditor::ApiKeyEditor(AppModel& model, QWidget* parent)
    : SettingsView(parent), m_model(model), m_stored(new QWidget(this)), m_mask(new QLabel(kMask, m_stored)),
      m_configured(new QLabel(m_stored)), m_storedNote(SettingsForms::note(m_stored)),
      m_replace(new QPushButton(m_stored)), m_more(new QToolButton(m_stored)), m_delete(nullptr),
      m_editor(new QWidget(this)), m_fieldLabel(new QLabel(m_editor)), m_field(new QLineEdit(m_editor)),
      m_save(new QPushButton(m_editor)), m_cancel(new QPushButton(m_editor)),
      m_message(SettingsForms::note(this))
{
    auto* storedRow = new QHBoxLayout;
    storedRow->addWidget(m_mask);
    storedRow->addWidget(m_configured, 1);
    storedRow->addWidget(m_replace);
    storedRow->addWidget(m_more);
    auto* storedColumn = new QVBoxLayout(m_stored);
    storedColumn->setContentsMargins(0, 0, 0, 0);
    storedColumn->addLayout(storedRow);
    storedColumn->addWidget(m_storedNote);
    m_mask->setAccessibleName(QString());
    auto* menu = new QMenu(m_more);
    m_delete = menu->addAction(QString());
    m_more->setMenu(menu);
    m_more->setPopupMode(QToolButton::InstantPopup);
    m_more->setToolButtonStyle(Qt::ToolButtonTextOnly);

    // A password field: not echoed, and Qt offers no copy, cut or drag out of it. The draft is
    // a key: the desktop's input methods must not learn or predict it.
    m_field->setEchoMode(QLineEdit::Password);
    m_field->setInputMethodHints(Qt::ImhHiddenText | Qt::ImhSensitiveData | Qt::ImhNoPredictiveText |
                                 Qt::ImhNoAutoUppercase);
    m_field->setDragEnabled(false);
    m_fieldLabel->setBuddy(m_field);
    auto* editorRow = new QHBoxLayout;
    editorRow->addWidget(m_field, 1);
    editorRow->addWidget(m_save);
    editorRow->addWidget(m_cancel);
    auto* editorColumn = new QVBoxLayout(m_editor);
    editorColumn->setContentsMargins(0, 0, 0, 0);
    editorColumn->addWidget(m_fieldLabel);
    editorColumn->addLayout(editorRow);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(m_stored);
    column->addWidget(m_editor);
    column->addWidget(m_message);

    connect(m_save, &QPushButton::clicked, this, [this] { save(); });
    connect(m_field, &QLineEdit::returnPressed, this, [this] { save(); });
    connect(m_cancel, &QPushButton::clicked, this, [this] { cancel(); });
    connect(m_replace, &QPushButton::clicked, this, [this] {
        m_replacing = true;
        render();
        m_field->setFocus();
    });
    connect(m_delete, &QAction::triggered, this, [this] { askDelete(); });
    connect(m_field, &QLineEdit::textEdited, this, [this] {
        if (m_showRefusal) {
            m_showRefusal = false;
            scheduleRender();
        }
    });
    follow(&m_model, &AppModel::changed);
    render();
}

void ApiKeyEditor::present()
{
    const bool stored = m_model.hasAPIKey() && !m_replacing;
    m_stored->setVisible(stored);
    m_editor->setVisible(!stored);

    m_configured->setText(L10n::text(L10N_KEY("密钥已配置，内容隐藏")));
    m_storedNote->setText(L10n::text(L10N_KEY("API Key 已配置，内容隐藏且不可编辑")));
    SettingsForms::setText(m_replace, L10n::text(L10N_KEY("更换密钥")));
    SettingsForms::setText(m_more, L10n::text(L10N_KEY("更多")));
    m_delete->setText(L10n::text(L10N_KEY("删除密钥…")));
    m_replace->setEnabled(!m_deleting);
    m_more->setEnabled(!m_deleting);

    const QString fieldName = L10n::text(L10N_KEY("新的 API Key"));
    m_fieldLabel->setText(fieldName);
    m_field->setAccessibleName(fieldName);
    m_field->setPlaceholderText(L10n::text(L10N_KEY("粘贴 API Key（⌘V）")));
    SettingsForms::setText(m_save, m_model.hasAPIKey() ? L10n::text(L10N_KEY("保存新密钥"))
                                                       : L10n::text(L10N_KEY("保存密钥")));
    SettingsForms::setText(m_cancel, L10n::text(L10N_KEY("取消")));
    m_field->setEnabled(!m_saving);
    m_save->setEnabled(!m_saving);
    m_cancel->setEnabled(!m_saving);

    // The model's own word for a refused key; a keyring failure shows as the connection status.
    m_message->setVisible(m_showRefusal);
    m_message->setText(m_showRefusal ? m_model.status() : QString());
}

void ApiKeyEditor::hideEvent(QHideEvent* event)
{
    // Closing the window is not saving: nothing typed survives it.
    if (!m_saving) {
        discardDraft();
        m_replacing = false;
        m_showRefusal = false;
        render();
    }
    SettingsView::hideEvent(event);
}

void ApiKeyEditor::discardDraft()
{
    // setText, unlike clear(), also empties the undo history.
    m_field->setText(QString());
}

void ApiKeyEditor::save()
{
    if (m_saving)
        return;
    QString draft = m_field->text();
    // From here on the draft lives only in the save.
    discardDraft();
    m_saving = true;
    m_showRefusal = false;
    render();
    saveJob(std::move(draft));
}

QCoro::Task<void> ApiKeyEditor::saveJob(QString draft)
{
    const QPointer<ApiKeyEditor> self(this);
    const bool blank = draft.trimmed().isEmpty();
    const bool saved = co_await m_model.storeKey(std::move(draft));
    if (!self)
        co_return;
    m_saving = false;
    if (saved)
        m_replacing = false;
    // A refused (empty) key is named by the model's status; a keyring failure by the
    // connection status, which the page shows anyway.
    m_showRefusal = !saved && blank;
    render();
}

void ApiKeyEditor::cancel()
{
    discardDraft();
    m_replacing = false;
    m_showRefusal = false;
    render();
}

void ApiKeyEditor::askDelete()
{
    const QPointer<ApiKeyEditor> self(this);
    ConfirmationDialogs::askDeleteKey(window(), [self] {
        if (self && !self->m_deleting)
            self->deleteJob();
    });
}

QCoro::Task<void> ApiKeyEditor::deleteJob()
{
    const QPointer<ApiKeyEditor> self(this);
    m_deleting = true;
    render();
    co_await m_model.deleteCurrentKey();
    if (!self)
        co_return;
    m_deleting = false;
    render();
}

} // namespace qw
