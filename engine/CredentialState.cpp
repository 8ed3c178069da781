#include "engine/CredentialState.h"

#include "l10n/L10n.h"

namespace qw {

QString label(CredentialState state)
{
    switch (state) {
    case CredentialState::missing:
        return L10n::text(L10N_KEY("未配置密钥"));
    case CredentialState::unread:
        return L10n::text(L10N_KEY("密钥尚未读取"));
    case CredentialState::accessible:
        return L10n::text(L10N_KEY("密钥可访问"));
    case CredentialState::approval:
        return L10n::text(L10N_KEY("需要授权密钥访问"));
    case CredentialState::cancelled:
        return L10n::text(L10N_KEY("已取消密钥访问，可主动重新授权"));
    case CredentialState::lockedOrApproval:
        return L10n::text(L10N_KEY("密钥需要授权或钥匙串解锁"));
    case CredentialState::failed:
        return L10n::text(L10N_KEY("密钥读取失败"));
    }
    return {};
}

QString authorizationLabel(CredentialState state)
{
    switch (state) {
    case CredentialState::missing:
        return L10n::text(L10N_KEY("未配置"));
    case CredentialState::unread:
        return L10n::text(L10N_KEY("待验证"));
    case CredentialState::accessible:
        return L10n::text(L10N_KEY("已授权"));
    case CredentialState::approval:
    case CredentialState::cancelled:
    case CredentialState::lockedOrApproval:
    case CredentialState::failed:
        return L10n::text(L10N_KEY("未授权"));
    }
    return {};
}

} // namespace qw
