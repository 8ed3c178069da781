#include "engine/StrictJson.h"

#include <QByteArray>
#include <gtest/gtest.h>

using namespace qw;

TEST(StrictJsonTest, AcceptsExactlyTheGrammar)
{
    const QByteArray wellFormed[] = {
        "{}",
        " [ ] ",
        "\r\n\t{\"a\" : [1, -0.5e+10, 0, 1E3, 2e-2, true, false, null, \"x\", {}]}\n",
        "\"\\\" \\\\ \\/ \\b \\f \\n \\r \\t \\u00e9 \\ud83d\\ude00\"",
        "\"é 你好 😀\"",
        "-0",
        QByteArray(512, '[') + QByteArray(512, ']')};
    const QByteArray malformed[] = {
        // Qt accepts these; JSON does not.
        "\"\\x\"", "\"\\u12\"", "\"tab\there\"", "\"line\nbreak\"", "1.", "{\"a\":1.}",
        // Escaped surrogates only as pairs.
        "\"\\ud800\"", "\"\\udc00\\ud800\"", "\"\\ud800\\u0041\"",
        // Not UTF-8: a stray byte, an overlong "/", an encoded surrogate, above U+10FFFF, cut short.
        "\"\xff\"", "\"\xc0\xaf\"", "\"\xed\xa0\x80\"", "\"\xf4\x90\x80\x80\"", "\"\xe4\xbd\"",
        "\xef\xbb\xbf{}", "  ", "{\"choices\":[{\"message\":{\"content\":\"Hel", "{\"a\":1,}", "[1,]",
        "{'a':1}", "{\"a\" 1}", "01", ".5", "+1", "-", "1e+", "NaN", "tru", "\"unterminated", "{\"a\":1} x",
        "{\"a\":1 /* note */}", "<html>Bad gateway</html>",
        // Nesting deeper than 512 levels.
        QByteArray(513, '[') + QByteArray(513, ']')};
    for (const QByteArray& text : wellFormed)
        EXPECT_TRUE(StrictJson::isWellFormed(text)) << text.left(80).constData();
    for (const QByteArray& text : malformed)
        EXPECT_FALSE(StrictJson::isWellFormed(text)) << text.left(80).constData();
}
