#include "engine/StrictJson.h"

namespace qw::StrictJson {

namespace {

constexpr int kDeepestNesting = 512;

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

int hexValue(char c)
{
    if (isDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// A recursive-descent reader of the RFC 8259 grammar that only answers whether the whole text
// follows it.
class Reader {
public:
    explicit Reader(QByteArrayView text) : m_text(text) {}

    bool document()
    {
        skipWhitespace();
        if (!value(0))
            return false;
        skipWhitespace();
        return m_at == m_text.size();
    }

private:
    bool atEnd() const { return m_at >= m_text.size(); }
    char peek() const { return atEnd() ? '\0' : m_text[m_at]; }
    unsigned char peekByte() const { return static_cast<unsigned char>(peek()); }
    bool consume(char c)
    {
        if (atEnd() || m_text[m_at] != c)
            return false;
        ++m_at;
        return true;
    }
    void skipWhitespace()
    {
        while (!atEnd() && (peek() == ' ' || peek() == '\t' || peek() == '\n' || peek() == '\r'))
            ++m_at;
    }

    bool value(int depth)
    {
        switch (peek()) {
        case '{':
            return object(depth + 1);
        case '[':
            return array(depth + 1);
        case '"':
            return string();
        case 't':
            return literal("true");
        case 'f':
            return literal("false");
        case 'n':
            return literal("null");
        default:
            return number();
        }
    }

    bool object(int depth)
    {
        if (depth > kDeepestNesting)
            return false;
        ++m_at;
        skipWhitespace();
        if (consume('}'))
            return true;
        for (;;) {
            skipWhitespace();
            if (peek() != '"' || !string())
                return false;
            skipWhitespace();
            if (!consume(':'))
                return false;
            skipWhitespace();
            if (!value(depth))
                return false;
            skipWhitespace();
            if (consume('}'))
                return true;
            if (!consume(','))
                return false;
        }
    }

    bool array(int depth)
    {
        if (depth > kDeepestNesting)
            return false;
        ++m_at;
        skipWhitespace();
        if (consume(']'))
            return true;
        for (;;) {
            skipWhitespace();
            if (!value(depth))
                return false;
            skipWhitespace();
            if (consume(']'))
                return true;
            if (!consume(','))
                return false;
        }
    }

    bool literal(QByteArrayView word)
    {
        if (m_text.sliced(m_at).startsWith(word)) {
            m_at += word.size();
            return true;
        }
        return false;
    }

    bool digits()
    {
        const qsizetype start = m_at;
        while (isDigit(peek()))
            ++m_at;
        return m_at > start;
    }

    bool number()
    {
        consume('-');
        if (!consume('0')) {
            if (peek() < '1' || peek() > '9')
                return false;
            digits();
        }
        if (consume('.') && !digits())
            return false;
        if (consume('e') || consume('E')) {
            if (!consume('+'))
                consume('-');
            if (!digits())
                return false;
        }
        return true;
    }

    // Four hexadecimal digits after "\u"; -1 when they are not.
    int codeUnit()
    {
        if (m_at + 4 > m_text.size())
            return -1;
        int unit = 0;
        for (int i = 0; i < 4; ++i) {
            const int digit = hexValue(m_text[m_at + i]);
            if (digit < 0)
                return -1;
            unit = unit * 16 + digit;
        }
        m_at += 4;
        return unit;
    }

    bool escape()
    {
        const char c = peek();
        ++m_at;
        switch (c) {
        case '"':
        case '\\':
        case '/':
        case 'b':
        case 'f':
        case 'n':
        case 'r':
        case 't':
            return true;
        case 'u':
            break;
        default:
            return false;
        }
        const int unit = codeUnit();
        if (unit < 0 || (unit >= 0xDC00 && unit <= 0xDFFF))
            return false;
        if (unit < 0xD800 || unit > 0xDBFF)
            return true;
        // A high surrogate must be followed by an escaped low one.
        if (!consume('\\') || !consume('u'))
            return false;
        const int low = codeUnit();
        return low >= 0xDC00 && low <= 0xDFFF;
    }

    // One multi-byte UTF-8 sequence, well formed as the Unicode standard's table defines it: no
    // overlong forms, no encoded surrogates, nothing above U+10FFFF.
    bool multiByteCharacter()
    {
        const unsigned char lead = peekByte();
        int continuations = 0;
        unsigned char secondLow = 0x80;
        unsigned char secondHigh = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            continuations = 1;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            continuations = 2;
            if (lead == 0xE0)
                secondLow = 0xA0;
            else if (lead == 0xED)
                secondHigh = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            continuations = 3;
            if (lead == 0xF0)
                secondLow = 0x90;
            else if (lead == 0xF4)
                secondHigh = 0x8F;
        } else {
            return false;
        }
        ++m_at;
        for (int i = 0; i < continuations; ++i) {
            const unsigned char byte = peekByte();
            const unsigned char low = i == 0 ? secondLow : 0x80;
            const unsigned char high = i == 0 ? secondHigh : 0xBF;
            if (atEnd() || byte < low || byte > high)
                return false;
            ++m_at;
        }
        return true;
    }

    bool string()
    {
        ++m_at;
        while (!atEnd()) {
            const unsigned char c = peekByte();
            if (c == '"') {
                ++m_at;
                return true;
            }
            if (c < 0x20)
                return false;
            if (c == '\\') {
                ++m_at;
                if (!escape())
                    return false;
            } else if (c < 0x80) {
                ++m_at;
            } else if (!multiByteCharacter()) {
                return false;
            }
        }
        return false;
    }

    QByteArrayView m_text;
    qsizetype m_at = 0;
};

} // namespace

bool isWellFormed(QByteArrayView text)
{
    return Reader(text).document();
}

} // namespace qw::StrictJson
