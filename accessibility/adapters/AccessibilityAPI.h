#pragma once

#include "accessibility/adapters/AXVocabulary.h"
#include "accessibility/adapters/AttributeValue.h"

#include <chrono>
#include <optional>

namespace qw {

// The platform accessibility interface in the vocabulary the bridge speaks (the roles,
// attributes and notifications of AXVocabulary.h); a backend translates its platform into it.
//
// Threading: the element factories and setMessagingTimeout only make or adjust handles and
// never talk to another process, so any thread may call them. Every other call may wait for
// another application and is made only on the accessibility worker thread, never on the main
// thread; it answers within the element's messaging time-out (AXErrorCode::cannotComplete when
// the peer did not answer in time).
class AccessibilityAPI {
public:
    virtual ~AccessibilityAPI() = default;

    // Whether this process may use the accessibility interface at all.
    virtual bool isProcessTrusted() const = 0;

    virtual AccessibilityElement applicationElement(qint32 pid) = 0;
    virtual AccessibilityElement systemWideElement() = 0;
    virtual void setMessagingTimeout(const AccessibilityElement& element,
                                     std::chrono::milliseconds timeout) = 0;

    virtual AttributeResult copyAttributeValue(const AccessibilityElement& element,
                                               const QString& attribute) = 0;

    // The value and the selected range as they stood at one moment. A part that could not be
    // read is empty; no selection is read when the value cannot be. A backend that learns both
    // from one reading of the text overrides this.
    struct TextState {
        std::optional<QString> value;
        std::optional<TextRange> selection;
    };
    virtual TextState copyTextState(const AccessibilityElement& element)
    {
        TextState state;
        const AttributeResult value = copyAttributeValue(element, AXAttribute::value);
        const QString* text = std::get_if<QString>(&value.value);
        if (!value.succeeded() || !text)
            return state;
        state.value = *text;
        const AttributeResult range = copyAttributeValue(element, AXAttribute::selectedTextRange);
        if (const TextRange* selection = std::get_if<TextRange>(&range.value); selection && range.succeeded())
            state.selection = *selection;
        return state;
    }
    virtual SettableResult isAttributeSettable(const AccessibilityElement& element,
                                               const QString& attribute) = 0;
    // Returns the error code of the set (AXErrorCode::success when the application accepted
    // it; whether it really changed anything is only known by reading back).
    virtual int setAttributeValue(const AccessibilityElement& element, const QString& attribute,
                                  const AttributeValue& value) = 0;
    virtual ProcessIdResult processId(const AccessibilityElement& element) = 0;
    // The deepest element at a global top-left point, asked of the system-wide element.
    virtual ElementResult elementAtPosition(const AccessibilityElement& systemWide, QPointF point) = 0;
};

} // namespace qw
