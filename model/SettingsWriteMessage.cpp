#include "model/SettingsWriteMessage.h"

#include "l10n/L10n.h"

namespace qw::SettingsWriteMessage {

QString text(const SettingsWriteResult& result)
{
    if (!result.failure())
        return {};
    switch (*result.failure()) {
    case SettingsWriteResult::Failure::notStorable:
        return L10n::text(L10N_KEY("设置未保存：这个值无法存入设置文件"));
    case SettingsWriteResult::Failure::unreadableFile:
        return L10n::format(L10N_KEY("设置未保存：无法读取现有的设置文件 %@，为免覆盖它而没有写入"),
                            {result.location()});
    case SettingsWriteResult::Failure::writeFailed:
        return L10n::format(L10N_KEY("设置未保存：无法写入 %@（%@）"), {result.location(), result.reason()});
    }
    return {};
}

} // namespace qw::SettingsWriteMessage
