// Writes the settings file over and over, as the program does when the user changes settings,
// until it is killed. Each write stores the next number and a long text, so that a write takes
// long enough to be cut in the middle. After each committed write it prints the number.
#include "core/Clock.h"
#include "platform/JsonFileSettingsStore.h"

#include <QString>
#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    qw::SystemClock clock;
    qw::JsonFileSettingsStore store(QString::fromLocal8Bit(argv[1]), clock);
    qint64 number = store.integer(QStringLiteral("counter")).value_or(0);
    for (;;) {
        ++number;
        const QString padding(32 * 1024, QChar(char16_t(u'a' + number % 26)));
        const auto written = store.apply(
            {{QStringLiteral("counter"), QVariant(number)}, {QStringLiteral("padding"), QVariant(padding)}});
        if (!written)
            return 1;
        std::printf("%lld\n", static_cast<long long>(number));
        std::fflush(stdout);
    }
}
