#include "platform/atspi/AtspiAttributeReader.h"

#include "accessibility/adapters/AXErrorCode.h"
#include "accessibility/adapters/AXVocabulary.h"
#include "platform/atspi/AtspiElementRef.h"
#include "platform/atspi/AtspiInterfaces.h"
#include "platform/atspi/AtspiObjectCache.h"
#include "platform/atspi/AtspiRequest.h"
#include "platform/atspi/AtspiRoles.h"
#include "platform/atspi/TextOffsets.h"

namespace qw {

AttributeResult AtspiAttributeReader::read(AtspiRequest& request, const AtspiObject& object,
                                           const QString& attribute)
{
    auto failed = [&request] {
        return AttributeResult{request.error(), {}};
    };
    if (attribute == AXAttribute::role) {
        const auto description = m_cache.describe(request, object);
        if (!description)
            return failed();
        return {AXErrorCode::success, AtspiRoles::axRole(description->role, description->states)};
    }
    if (attribute == AXAttribute::subrole || attribute == AXAttribute::protectedContent) {
        const auto description = m_cache.describe(request, object);
        if (!description)
            return failed();
        const bool isProtected = AtspiRoles::isProtected(description->role);
        if (attribute == AXAttribute::protectedContent)
            return {AXErrorCode::success, isProtected};
        if (!isProtected)
            return {AXErrorCode::noValue, {}};
        return {AXErrorCode::success, AXRole::secureTextField};
    }
    if (attribute == AXAttribute::editable) {
        const auto description = m_cache.describe(request, object);
        if (!description)
            return failed();
        return {AXErrorCode::success, AtspiRoles::has(description->states, AtspiRoles::editable)};
    }
    if (attribute == AXAttribute::position || attribute == AXAttribute::size) {
        const auto extents = m_cache.extentsOf(request, object);
        if (!extents)
            return failed();
        if (attribute == AXAttribute::position)
            return {AXErrorCode::success, QPointF(extents->topLeft())};
        return {AXErrorCode::success, QSizeF(extents->size())};
    }
    if (attribute == AXAttribute::parent) {
        const auto parent = request.property(object.busName, object.path, AtspiInterfaces::accessible,
                                             QStringLiteral("Parent"));
        if (!parent)
            return failed();
        const auto reference = AtspiRequest::objectReference(*parent);
        if (!reference)
            return {AXErrorCode::noValue, {}};
        return {AXErrorCode::success, AtspiElementRef::object(reference->busName, reference->path)};
    }
    if (attribute == AXAttribute::value || attribute == AXAttribute::selectedTextRange ||
        attribute == AXAttribute::selectedText) {
        const TextReading reading = readText(request, object, attribute != AXAttribute::value);
        if (reading.error != AXErrorCode::success)
            return {reading.error, {}};
        if (attribute == AXAttribute::value)
            return {AXErrorCode::success, *reading.text};
        if (attribute == AXAttribute::selectedTextRange)
            return {AXErrorCode::success, *reading.selection};
        if (reading.selection->length == 0)
            return {AXErrorCode::noValue, {}};
        return {AXErrorCode::success,
                reading.text->mid(reading.selection->location, reading.selection->length)};
    }
    return {AXErrorCode::attributeUnsupported, {}};
}

AccessibilityAPI::TextState AtspiAttributeReader::readTextState(AtspiRequest& request,
                                                                const AtspiObject& object)
{
    const TextReading reading = readText(request, object, true);
    return {reading.text, reading.selection};
}

AtspiAttributeReader::TextReading
AtspiAttributeReader::readText(AtspiRequest& request, const AtspiObject& object, bool withSelection)
{
    TextReading reading;
    // The role is asked afresh for every reading (the focus check of the same pass may just have
    // asked): GTK turns an entry into a password field and back when its visibility changes.
    const auto role = m_cache.freshRole(request, object);
    if (!role) {
        reading.error = request.error();
        return reading;
    }
    if (AtspiRoles::isProtected(*role)) {
        reading.error = AXErrorCode::attributeUnsupported;
        return reading;
    }
    reading.text = request.text(object);
    if (!reading.text) {
        reading.error = request.error();
        return reading;
    }
    if (!withSelection)
        return reading;
    const auto selection = request.selection(object);
    if (!selection) {
        reading.error = request.error();
        return reading;
    }
    const OffsetUnit unit = m_cache.unitOf(request, object.busName);
    const auto start = TextOffsets::fromPlatform(*reading.text, selection->first, unit);
    const auto end = TextOffsets::fromPlatform(*reading.text, selection->second, unit);
    if (!start || !end) {
        reading.error = AXErrorCode::failure;
        return reading;
    }
    reading.selection = TextRange{*start, *end - *start};
    return reading;
}

} // namespace qw
