#include "platform/atspi/AtspiTextWriter.h"

#include "accessibility/adapters/AXErrorCode.h"
#include "accessibility/adapters/AXVocabulary.h"
#include "platform/atspi/AtspiInterfaces.h"
#include "platform/atspi/AtspiObjectCache.h"
#include "platform/atspi/AtspiRequest.h"
#include "platform/atspi/AtspiRoles.h"
#include "platform/atspi/TextOffsets.h"

namespace qw {

SettableResult AtspiTextWriter::isSettable(AtspiRequest& request, const AtspiObject& object,
                                           const QString& attribute)
{
    const bool textWrite = attribute == AXAttribute::value || attribute == AXAttribute::selectedText;
    if (!textWrite && attribute != AXAttribute::selectedTextRange)
        return {AXErrorCode::success, false};
    const auto description = m_cache.describe(request, object);
    const auto interfaces = description ? m_cache.interfacesOf(request, object) : std::nullopt;
    if (!description || !interfaces)
        return {request.error(), false};
    if (AtspiRoles::isProtected(description->role))
        return {AXErrorCode::success, false};
    if (!textWrite)
        return {AXErrorCode::success, interfaces->contains(AtspiInterfaces::text)};
    return {AXErrorCode::success, interfaces->contains(AtspiInterfaces::editableText) &&
                                      AtspiRoles::has(description->states, AtspiRoles::editable)};
}

int AtspiTextWriter::write(AtspiRequest& request, const AtspiObject& object, const QString& attribute,
                           const AttributeValue& value)
{
    const auto role = m_cache.freshRole(request, object);
    if (!role)
        return request.error();
    if (AtspiRoles::isProtected(*role))
        return AXErrorCode::attributeUnsupported;

    if (attribute == AXAttribute::value) {
        const QString* text = std::get_if<QString>(&value);
        if (!text)
            return AXErrorCode::illegalArgument;
        const auto done = request.first(object.busName, object.path, AtspiInterfaces::editableText,
                                        QStringLiteral("SetTextContents"), {*text});
        if (!done)
            return request.error();
        return done->toBool() ? AXErrorCode::success : AXErrorCode::failure;
    }
    if (attribute == AXAttribute::selectedTextRange) {
        const TextRange* range = std::get_if<TextRange>(&value);
        if (!range)
            return AXErrorCode::illegalArgument;
        return setRange(request, object, *range);
    }
    if (attribute == AXAttribute::selectedText) {
        const QString* text = std::get_if<QString>(&value);
        if (!text)
            return AXErrorCode::illegalArgument;
        return setSelectedText(request, object, *text);
    }
    return AXErrorCode::attributeUnsupported;
}

int AtspiTextWriter::setRange(AtspiRequest& request, const AtspiObject& object, const TextRange& range)
{
    const auto text = request.text(object);
    if (!text)
        return request.error();
    const OffsetUnit unit = m_cache.unitOf(request, object.busName);
    const auto start = TextOffsets::toPlatform(*text, range.location, unit);
    const auto end = TextOffsets::toPlatform(*text, range.end(), unit);
    if (range.length < 0 || !start || !end)
        return AXErrorCode::illegalArgument;
    if (*start == *end) {
        const auto done = request.first(object.busName, object.path, AtspiInterfaces::text,
                                        QStringLiteral("SetCaretOffset"), {*start});
        return !done ? request.error() : done->toBool() ? AXErrorCode::success : AXErrorCode::failure;
    }
    const auto count =
        request.first(object.busName, object.path, AtspiInterfaces::text, QStringLiteral("GetNSelections"));
    if (!count)
        return request.error();
    // SetSelection answers false while there is no selection to change: add one instead.
    const auto done = count->toInt() == 0 ? request.first(object.busName, object.path, AtspiInterfaces::text,
                                                          QStringLiteral("AddSelection"), {*start, *end})
                                          : request.first(object.busName, object.path, AtspiInterfaces::text,
                                                          QStringLiteral("SetSelection"), {0, *start, *end});
    if (!done)
        return request.error();
    return done->toBool() ? AXErrorCode::success : AXErrorCode::failure;
}

int AtspiTextWriter::setSelectedText(AtspiRequest& request, const AtspiObject& object,
                                     const QString& replacement)
{
    const auto selection = request.selection(object);
    if (!selection)
        return request.error();
    const auto [start, end] = *selection;
    if (start < end) {
        const auto deleted = request.first(object.busName, object.path, AtspiInterfaces::editableText,
                                           QStringLiteral("DeleteText"), {start, end});
        if (!deleted)
            return request.error();
        if (!deleted->toBool())
            return AXErrorCode::failure;
    }
    if (replacement.isEmpty())
        return AXErrorCode::success;
    // The length of the inserted text is counted in bytes of UTF-8 by GTK, in UTF-16 units by Qt.
    const OffsetUnit unit = m_cache.unitOf(request, object.busName);
    const int length = unit == OffsetUnit::utf16 ? int(replacement.size()) : int(replacement.toUtf8().size());
    const auto inserted = request.first(object.busName, object.path, AtspiInterfaces::editableText,
                                        QStringLiteral("InsertText"), {start, replacement, length});
    if (!inserted)
        return request.error();
    return inserted->toBool() ? AXErrorCode::success : AXErrorCode::failure;
}

} // namespace qw
