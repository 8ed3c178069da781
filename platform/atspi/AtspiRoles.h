#pragma once

#include <QString>
#include <QtGlobal>

namespace qw {

// AT-SPI role numbers and state bits, and their translation into the roles the engine
// understands. Password fields are recognised by role, never by the role name: Qt calls them
// "text".
class AtspiRoles {
public:
    enum Role : quint32 {
        comboBox = 11,
        frame = 23,
        label = 29,
        panel = 39,
        passwordText = 40,
        pushButton = 43,
        spinButton = 52,
        terminal = 60,
        text = 61,
        window = 69,
        paragraph = 73,
        application = 75,
        entry = 79,
        documentFrame = 82,
        section = 85,
        documentText = 94,
        documentWeb = 95,
        staticText = 116,
    };
    enum State : int {
        active = 1,
        editable = 7,
        focused = 12,
        multiLine = 17,
        showing = 25,
        singleLine = 26,
        visible = 30,
    };

    // States arrive as two 32-bit words; bit n of the pair is state n.
    static quint64 stateSet(quint32 low, quint32 high) { return quint64(low) | (quint64(high) << 32); }
    static bool has(quint64 states, State state) { return (states >> int(state)) & 1u; }

    static bool isProtected(quint32 role) { return role == passwordText; }
    // One of the AXRole words: textField, textArea, comboBox, group (editable documents and
    // paragraphs, containers), window, application, button, staticText or unknown.
    static QString axRole(quint32 role, quint64 states);
};

} // namespace qw
