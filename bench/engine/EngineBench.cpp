#include "engine/TranslationService.h"
#include "policy/TextPolicy.h"
#include "tests/support/VirtualTime.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>

namespace {

// `unit` repeated to exactly 1800 user-perceived characters.
QString repeatedTo1800Characters(const QString& unit)
{
    QString text;
    while (text.size() < 4000)
        text += unit;
    while (qw::TextPolicy::characterCount(text) > 1800)
        text.chop(1);
    return text;
}

void textPolicyOn(benchmark::State& state, const QString& text, const char* label)
{
    if (!qw::TextPolicy::isAllowed(text)) {
        state.SkipWithError("the benchmark text should be allowed");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(qw::TextPolicy::isAllowed(text));
    state.SetLabel(label);
}

void textPolicyOnTheLongestAllowedText(benchmark::State& state)
{
    // Mixed scripts with no secret in them: the worst case the policy accepts, scanned in full
    // by every pattern.
    textPolicyOn(state, repeatedTo1800Characters(QStringLiteral("这周我们先完成产品设计, then ship it. 😀 ")),
                 "1800 characters");
}
BENCHMARK(textPolicyOnTheLongestAllowedText)->Unit(benchmark::kMicrosecond);

void textPolicyOnLongProseAboutSecrets(benchmark::State& state)
{
    // Hard-wrapped prose that names passwords, keys and tokens without giving one, in
    // full-width and ASCII punctuation: every keyword makes the patterns look closer.
    textPolicyOn(
        state,
        repeatedTo1800Characters(QStringLiteral("忘记密码了怎么办？请在设置里重置 password，\n"
                                                "the API key is stored in the keyring; token：见文档。\n")),
        "1800 characters, wrapped lines");
}
BENCHMARK(textPolicyOnLongProseAboutSecrets)->Unit(benchmark::kMicrosecond);

void cachedTranslationLookup(benchmark::State& state)
{
    qw::test::VirtualTime time;
    qw::CredentialLoader noKeys = [](qw::TranslationProvider, bool) -> QCoro::Task<qw::CredentialLoadResult> {
        co_return qw::CredentialLoadResult::ok(std::nullopt);
    };
    qw::TranslationService service(noKeys, time, time);
    const auto config = qw::ProviderConfiguration::defaults(qw::TranslationProvider::openAI);
    const QString source = QStringLiteral("你好");
    const QString english = QStringLiteral("English");
    const QString chinese = QStringLiteral("Simplified Chinese");
    const QString application = QStringLiteral("org.gnome.TextEditor");

    // Fill the cache once through the demo path (130 ms of virtual time), with 79 other entries
    // beside it so the lookup sees a realistic cache.
    for (int i = 0; i < 79; ++i) {
        auto filler = service.translate(source, config, false, english, chinese, QString::number(i), true);
        time.advance(std::chrono::milliseconds(130));
    }
    auto first = service.translate(source, config, false, english, chinese, application, true);
    time.advance(std::chrono::milliseconds(130));

    for (auto _ : state) {
        // A cache hit completes without suspending: the task is done when translate returns.
        auto lookup = service.translate(source, config, false, english, chinese, application, true);
        if (!lookup.isReady()) {
            state.SkipWithError("the lookup was not answered from the cache");
            return;
        }
        benchmark::DoNotOptimize(lookup);
    }
}
BENCHMARK(cachedTranslationLookup)->Unit(benchmark::kMicrosecond);

} // namespace
