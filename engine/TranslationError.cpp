#include "engine/TranslationError.h"

#include "engine/SecretBackend.h"
#include "l10n/L10n.h"

namespace qw {

namespace {

QString credentialMessage(qint32 status)
{
    switch (status) {
    case SecretStatus::interactionNotAllowed:
        return L10n::text(L10N_KEY("密钥需要授权或钥匙串解锁"));
    case SecretStatus::authorizationFailed:
        return L10n::text(L10N_KEY("密钥访问验证失败，请重新授权"));
    case SecretStatus::userCancelled:
        return L10n::text(L10N_KEY("已取消密钥访问，可主动重新授权"));
    case SecretStatus::serviceUnavailable:
        // No keyring answers at all: a bare status code would not tell the user what to start.
        // clang-format off
        return L10n::text(L10N_KEY("密钥环不可用：当前会话中没有运行 Secret Service。请启动 gnome-keyring 或 KWallet；运行 quillweave doctor 查看详情。"));
        // clang-format on
    default:
        return L10n::format(L10N_KEY("密钥读取失败（%@）"), {QString::number(status)});
    }
}

QString httpMessage(int code)
{
    switch (code) {
    case 401:
    case 403:
        return L10n::format(L10N_KEY("API 授权失败（HTTP %@），请检查 Key 和模型权限"),
                            {QString::number(code)});
    case 404:
        return L10n::text(L10N_KEY("API 地址或模型不存在（HTTP 404）"));
    case 429:
        return L10n::text(L10N_KEY("请求过于频繁或余额不足（HTTP 429）"));
    default:
        return L10n::format(L10N_KEY("翻译请求失败（HTTP %@）"), {QString::number(code)});
    }
}

} // namespace

QString TranslationError::message() const
{
    switch (m_kind) {
    case Kind::credentialFailure:
        return credentialMessage(m_code);
    case Kind::httpError:
        return httpMessage(m_code);
    case Kind::demoOnly:
        return L10n::text(
            L10N_KEY("演示模式仅支持示例句；配置模型 API Key 并同意云翻译后可按所选语言翻译文字"));
    case Kind::keychainAccessRequired:
        return L10n::text(L10N_KEY("密钥访问已暂停。请点击“授权apikey”；后台不会重复弹窗。"));
    case Kind::missingKey:
        return L10n::text(L10N_KEY("当前服务商尚未配置 API Key"));
    case Kind::missingModel:
        return L10n::text(L10N_KEY("请先填写可用的模型 ID"));
    case Kind::invalidEndpoint:
        return L10n::text(L10N_KEY("API 地址无效；必须使用 HTTPS，并正确配置服务商地址"));
    case Kind::badResponse:
        return L10n::text(L10N_KEY("翻译服务没有返回有效的译文"));
    case Kind::truncatedReply:
        return L10n::text(L10N_KEY("译文不完整（被翻译服务截断），未采用；可缩短文本后重试"));
    case Kind::filteredReply:
        return L10n::text(L10N_KEY("译文被翻译服务的内容过滤拦截，未采用"));
    case Kind::providerError:
        return L10n::text(L10N_KEY("翻译服务返回了错误，没有给出译文"));
    case Kind::timedOut:
        return L10n::text(L10N_KEY("翻译请求超时"));
    case Kind::untrustedCertificate:
        return L10n::text(
            L10N_KEY("翻译服务证书不受信任；私有证书颁发机构需用 update-ca-certificates 加入系统证书库"));
    case Kind::hostNotFound:
        return L10n::text(L10N_KEY("找不到翻译服务的主机，请检查 API 地址和网络连接"));
    case Kind::connectionRefused:
        return L10n::text(L10N_KEY("翻译服务拒绝连接，请检查 API 地址（HTTPS 端口 443）并确认服务正在运行"));
    case Kind::networkFailure:
        return L10n::text(L10N_KEY("无法连接翻译服务，请检查网络连接和代理设置"));
    case Kind::cancelled:
        return L10n::text(L10N_KEY("翻译已取消"));
    }
    return {};
}

} // namespace qw
