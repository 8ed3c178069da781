#include "engine/StrictJson.h"

#include <QByteArray>
#include <gtest/gtest.h>

using namespace qw;

TEST(StrictJsonTest, AcceptsExactlyTheGrammar)
{
    struct Row {
        QByteArray text;
        bool wellFormed;
    };
    const Row rows[] = {
        {"{}", true},
        {" [ ] ", true},
        {"\r\n\t{\"a\" : [1, -0.5e+10, 0, 1E3, 2e-2, true, false, null, \"x\", {}]}\n", true},
        {"\"\\\" \\\\ \\/ \\b \\f \\n \\r \\t \\u00e9 \\ud83d\\ude00\"", true},
        {"\"é 你好 😀\"", true},
        {"-0", true},
        // Qt accepts the following; JSON does not.
        {"\"\\x\"", false},
        {"\"\\u12\"", false},
        {"\"tab\there\"", false},
        {"\"line\nbreak\"", false},
        {"1.", false},
        {"{\"a\":1.}", false},
        // Escaped surrogates only as pairs.
        {"\"\\ud800\"", false},
        {"\"\\udc00\\ud800\"", false},
        {"\"\\ud800\\u0041\"", false},
        // Not UTF-8: a stray byte, an overlong "/", an encoded surrogate, above U+10FFFF, cut short.
        {"\"\xff\"", false},
        {"\"\xc0\xaf\"", false},
        {"\"\xed\xa0\x80\"", false},
        {"\"\xf4\x90\x80\x80\"", false},
        {"\"\xe4\xbd\"", false},
        {"\xef\xbb\xbf{}", false},
        {"", false},
        {"  ", false},
        {"{", false},
        {"{\"choices\":[{\"message\":{\"content\":\"Hel", false},
        {"{\"a\":1,}", false},
        {"[1,]", false},
        {"{'a':1}", false},
        {"{a:1}", false},
        {"{\"a\" 1}", false},
        {"01", false},
        {".5", false},
        {"+1", false},
        {"-", false},
        {"1e", false},
        {"1e+", false},
        {"NaN", false},
        {"Infinity", false},
        {"tru", false},
        {"nul", false},
        {"\"unterminated", false},
        {"{\"a\":1} x", false},
        {"{}{}", false},
        {"{\"a\":1 /* note */}", false},
        {"<html>Bad gateway</html>", false},
        {QByteArray(512, '[') + QByteArray(512, ']'), true},
        {QByteArray(513, '[') + QByteArray(513, ']'), false},
    };
    for (const Row& row : rows)
        EXPECT_EQ(StrictJson::isWellFormed(row.text), row.wellFormed) << row.text.left(80).constData();
}
