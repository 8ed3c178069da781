#include "accessibility/AXEngine.h"

#include "accessibility/adapters/AXVocabulary.h"
#include "l10n/L10n.h"
#include "policy/FocusedRoleRules.h"
#include "policy/SelectionRules.h"
#include "policy/TextPolicy.h"

#include <QDir>

namespace qw {

namespace {

const QDateTime& distantFuture()
{
    static const QDateTime value(QDate(4001, 1, 1), QTime(0, 0), Qt::UTC);
    return value;
}

const QDateTime& distantPast()
{
    static const QDateTime value(QDate(1, 1, 1), QTime(0, 0), Qt::UTC);
    return value;
}

// Files whose presence marks an application built on Electron, whose accessibility tree stays
// off until asked for: the framework inside a macOS-style bundle, the packed application
// beside a Linux build.
const QStringList& electronMarkers()
{
    static const QStringList markers{QStringLiteral("Contents/Frameworks/Electron Framework.framework"),
                                     QStringLiteral("resources/app.asar"),
                                     QStringLiteral("resources/electron.asar")};
    return markers;
}

bool isFieldRole(const QString& role)
{
    return role == AXRole::textField || role == AXRole::textArea || role == AXRole::comboBox ||
           role == AXRole::textView;
}

// Containers that count as text fields only when they say they are editable (web and custom
// editors).
bool isEditableContainerRole(const QString& role)
{
    return role == AXRole::group || role == AXRole::unknown || role == AXRole::textEntryArea;
}

} // namespace

AXEngine::AXEngine(AXPlatform platform)
    : m_platform(platform), m_deadline(distantFuture()),
      m_lastDiagnostic(L10n::text(L10N_KEY("未检测到焦点输入框"))), m_lastPreparation(distantPast())
{
    resetAuthorization();
}

void AXEngine::resetAuthorization()
{
    m_authorizeRead = [] {
        return true;
    };
    m_authorizeWrite = [] {
        return true;
    };
    m_cancellation = CancellationToken();
}

bool AXEngine::guard()
{
    return !m_cancellation.isCancelled() && m_authorizeRead() && m_platform.clock.now() < m_deadline;
}

void AXEngine::applyTimeout(const AccessibilityElement& element)
{
    m_platform.accessibility.setMessagingTimeout(element, elementTimeout);
}

std::optional<AttributeResult> AXEngine::readAttribute(const QString& attribute,
                                                       const AccessibilityElement& element)
{
    // Every read checks the guard first and gives the element its time-out, so a revoked permit
    // or a passed deadline stops the walk at the next attribute.
    if (!guard())
        return std::nullopt;
    applyTimeout(element);
    AttributeResult result = m_platform.accessibility.copyAttributeValue(element, attribute);
    if (!result.succeeded())
        return std::nullopt;
    return result;
}

template <class T>
std::optional<T> AXEngine::readTyped(const QString& attribute, const AccessibilityElement& element)
{
    const std::optional<AttributeResult> result = readAttribute(attribute, element);
    if (!result)
        return std::nullopt;
    if (const T* value = std::get_if<T>(&result->value))
        return *value;
    return std::nullopt;
}

std::optional<QString> AXEngine::readString(const QString& attribute, const AccessibilityElement& element)
{
    return readTyped<QString>(attribute, element);
}

std::optional<bool> AXEngine::readBoolean(const QString& attribute, const AccessibilityElement& element)
{
    const std::optional<AttributeResult> result = readAttribute(attribute, element);
    if (!result)
        return std::nullopt;
    if (const bool* flag = std::get_if<bool>(&result->value))
        return *flag;
    if (const qint64* number = std::get_if<qint64>(&result->value))
        return *number != 0;
    if (const double* number = std::get_if<double>(&result->value))
        return *number != 0.0;
    return std::nullopt;
}

std::optional<QPointF> AXEngine::readPoint(const QString& attribute, const AccessibilityElement& element)
{
    return readTyped<QPointF>(attribute, element);
}

std::optional<QSizeF> AXEngine::readSize(const QString& attribute, const AccessibilityElement& element)
{
    return readTyped<QSizeF>(attribute, element);
}

bool AXEngine::isSettable(const QString& attribute, const AccessibilityElement& element)
{
    if (!guard())
        return false;
    applyTimeout(element);
    const SettableResult result = m_platform.accessibility.isAttributeSettable(element, attribute);
    return result.error == AXErrorCode::success && result.settable;
}

std::optional<TextRange> AXEngine::readRange(const AccessibilityElement& element)
{
    if (!guard())
        return std::nullopt;
    applyTimeout(element);
    AttributeResult result =
        m_platform.accessibility.copyAttributeValue(element, AXAttribute::selectedTextRange);
    if (const TextRange* range = std::get_if<TextRange>(&result.value); range && result.succeeded())
        return *range;
    return std::nullopt;
}

std::optional<TextRange> AXEngine::selectedRange(const AccessibilityElement& element)
{
    const auto range = readRange(element);
    if (!range || range->location < 0 || range->length < 1)
        return std::nullopt;
    return range;
}

AXEngine::TextState AXEngine::readTextState(const AccessibilityElement& element)
{
    if (!guard())
        return {};
    applyTimeout(element);
    AccessibilityAPI::TextState state = m_platform.accessibility.copyTextState(element);
    TextState read;
    if (state.selection && state.selection->length >= 0)
        read.selectedLength = state.selection->length;
    read.value = std::move(state.value);
    return read;
}

bool AXEngine::verifySelectedRange(const TextRange& expected, const AccessibilityElement& element)
{
    const auto range = readRange(element);
    return range && *range == expected;
}

std::optional<QRectF> AXEngine::boundsOf(const AccessibilityElement& element)
{
    const auto position = readPoint(AXAttribute::position, element);
    const auto size = readSize(AXAttribute::size, element);
    if (!position || !size || size->width() <= 0 || size->height() <= 0)
        return std::nullopt;
    return QRectF(*position, *size);
}

std::optional<AccessibilityElement> AXEngine::parentOf(const AccessibilityElement& element)
{
    if (!guard())
        return std::nullopt;
    const AttributeResult result = m_platform.accessibility.copyAttributeValue(element, AXAttribute::parent);
    const AccessibilityElement* parent = std::get_if<AccessibilityElement>(&result.value);
    if (!result.succeeded() || !parent || parent->isNull() || *parent == element)
        return std::nullopt;
    applyTimeout(*parent);
    return *parent;
}

std::optional<qint32> AXEngine::pidOf(const AccessibilityElement& element)
{
    const ProcessIdResult result = m_platform.accessibility.processId(element);
    if (result.error != AXErrorCode::success)
        return std::nullopt;
    return result.pid;
}

bool AXEngine::isElectron(const QString& bundleLocation) const
{
    const QDir bundle(bundleLocation);
    for (const QString& marker : electronMarkers()) {
        if (m_platform.workspace.pathExists(bundle.filePath(marker)))
            return true;
    }
    return false;
}

void AXEngine::prepareAccessibility(const RunningApplication& app)
{
    if (!guard() || !m_platform.accessibility.isProcessTrusted())
        return;
    const auto frontmost = m_platform.workspace.frontmostApplication();
    if (!frontmost || frontmost->pid != app.pid)
        return;
    if (!m_preparedApplication || m_preparedApplication->pid != app.pid ||
        m_platform.workspace.isTerminated(*m_preparedApplication)) {
        m_preparedApplication = app;
        m_accessibilityReady = false;
        m_lastPreparation = distantPast();
    }
    const QDateTime now = m_platform.clock.now();
    if (m_accessibilityReady || m_lastPreparation.msecsTo(now) < wakeUpInterval.count())
        return;
    m_lastPreparation = now;
    if (!app.bundleLocation || !isElectron(*app.bundleLocation)) {
        m_accessibilityReady = true;
        return;
    }
    const AccessibilityElement element = m_platform.accessibility.applicationElement(app.pid);
    applyTimeout(element);
    // A failed wake-up is tried again on a later read, at most every three seconds.
    m_accessibilityReady =
        m_platform.accessibility.setAttributeValue(element, AXAttribute::manualAccessibility,
                                                   AttributeValue(true)) == AXErrorCode::success;
}

std::optional<AccessibilityElement> AXEngine::focusedElement(const RunningApplication& app)
{
    const auto frontmost = m_platform.workspace.frontmostApplication();
    if (!frontmost || frontmost->pid != app.pid) {
        m_lastDiagnostic = L10n::text(L10N_KEY("前台应用已变化，等待下次检测"));
        return std::nullopt;
    }
    prepareAccessibility(app);

    QStringList codes;
    const AccessibilityElement sources[] = {m_platform.accessibility.applicationElement(app.pid),
                                            m_platform.accessibility.systemWideElement()};
    for (const AccessibilityElement& source : sources) {
        if (!guard())
            return std::nullopt;
        applyTimeout(source);
        const AttributeResult result =
            m_platform.accessibility.copyAttributeValue(source, AXAttribute::focusedUIElement);
        codes.append(QString::number(result.error));
        const AccessibilityElement* candidate = std::get_if<AccessibilityElement>(&result.value);
        if (!result.succeeded() || !candidate || candidate->isNull())
            continue;
        applyTimeout(*candidate);
        const auto pid = pidOf(*candidate);
        const auto stillFront = m_platform.workspace.frontmostApplication();
        if (pid && *pid == app.pid && stillFront && stillFront->pid == app.pid)
            return *candidate;
    }
    // The two need different advice: a program that is not on the bus has to be restarted once
    // accessibility is on; one that is only lacks a focused text field.
    // clang-format off
    m_lastDiagnostic = codes.constFirst() == QString::number(AXErrorCode::notImplemented)
        ? L10n::format(L10N_KEY("当前应用不在辅助功能总线上（应用/系统 AX 状态：%@）；请运行 quillweave doctor enable，然后重新启动该应用"), {codes.join(u'/')})
        : L10n::format(L10N_KEY("当前应用中没有获得焦点的输入框（应用/系统 AX 状态：%@）；请点击一个输入框后重试"), {codes.join(u'/')});
    // clang-format on
    return std::nullopt;
}

std::optional<FocusedField> AXEngine::focusedField(const RunningApplication& app)
{
    const auto focused = focusedElement(app);
    if (!focused)
        return std::nullopt;

    AccessibilityElement element = *focused;
    std::optional<QString> value;
    TextState text;
    QString role;
    for (int examined = 0; examined < fieldWalkLimit; ++examined) {
        // A read cut off by cancellation, revocation or the deadline leaves the last message.
        if (!guard())
            return std::nullopt;
        role = readString(AXAttribute::role, element).value_or(AXRole::unknown);
        if (isProtected(element)) {
            // Never look past a password field: an editable ancestor would expose its text.
            m_lastDiagnostic = L10n::text(L10N_KEY("已排除受保护输入框"));
            return std::nullopt;
        }
        const bool editable = readBoolean(AXAttribute::editable, element).value_or(false);
        if (isFieldRole(role) || (isEditableContainerRole(role) && editable)) {
            text = readTextState(element);
            value = text.value;
            if (value)
                break;
        }
        if (!guard())
            return std::nullopt;
        const auto parent = parentOf(element);
        if (!parent)
            break;
        element = *parent;
    }
    if (!value) {
        if (!guard())
            return std::nullopt;
        m_lastDiagnostic = L10n::text(L10N_KEY("未找到可编辑的文本框（可能是自定义富文本控件）"));
        return std::nullopt;
    }

    const auto pid = pidOf(element);
    if (!pid || *pid != app.pid) {
        m_lastDiagnostic = L10n::text(L10N_KEY("候选输入框进程不匹配"));
        return std::nullopt;
    }
    FocusedField field;
    field.element = element;
    field.pid = *pid;
    field.role = role;
    field.value = *value;
    field.bounds = boundsOf(element);
    const bool directWrite = isSettable(AXAttribute::value, element);
    const bool safeSelection = isSettable(AXAttribute::selectedTextRange, element);
    const QString yes = L10n::text(L10N_KEY("是"));
    const QString no = L10n::text(L10N_KEY("否"));
    m_lastDiagnostic = L10n::format(L10N_KEY("%@ · 可读取 · 直接写入：%@ · 安全选区：%@"),
                                    {role, directWrite ? yes : no, safeSelection ? yes : no});
    field.bundleID = app.bundleID.value_or(QString());
    field.appName = app.localizedName.value_or(L10n::text(L10N_KEY("未知应用")));
    field.selectedLength = text.selectedLength;
    return field;
}

std::optional<QString> AXEngine::selectedText(const AccessibilityElement& element)
{
    if (auto text = readString(AXAttribute::selectedText, element); text && !text->isEmpty())
        return text;
    if (!guard())
        return std::nullopt;
    const auto range = readRange(element);
    const auto value = readString(AXAttribute::value, element);
    if (!range || !value)
        return std::nullopt;
    return SelectionRules::substring(*value, range->location, range->length);
}

std::optional<UserSelection>
AXEngine::userSelectedText(const RunningApplication& app,
                           const std::optional<AccessibilityElement>& preferredElement)
{
    const auto frontmost = m_platform.workspace.frontmostApplication();
    if (!frontmost || frontmost->pid != app.pid)
        return std::nullopt;
    const AccessibilityElement systemWide = m_platform.accessibility.systemWideElement();
    applyTimeout(systemWide);
    const auto focused = focusedField(app);

    QList<AccessibilityElement> candidates;
    if (preferredElement) {
        candidates.append(*preferredElement);
    } else {
        if (auto element = focusedElement(app))
            candidates.append(*element);
        if (guard()) {
            if (const auto point = m_platform.pointer.pointerLocation()) {
                const ElementResult hit = m_platform.accessibility.elementAtPosition(systemWide, *point);
                if (hit.error == AXErrorCode::success && !hit.element.isNull())
                    candidates.append(hit.element);
            }
        }
    }

    for (const AccessibilityElement& candidate : std::as_const(candidates)) {
        AccessibilityElement element = candidate;
        for (int examined = 0; examined < selectionWalkLimit; ++examined) {
            if (!guard())
                return std::nullopt;
            applyTimeout(element);
            const auto pid = pidOf(element);
            if (!pid || *pid != app.pid)
                break;
            if (isProtected(element))
                break;
            const auto text = selectedText(element);
            if (text && !text->isEmpty() && TextPolicy::isAllowed(*text)) {
                UserSelection selection;
                selection.element = element;
                selection.text = *text;
                selection.bounds = boundsOf(element);
                if (focused && focused->element == element) {
                    selection.field = focused;
                    selection.range = selectedRange(element);
                }
                // A cut-off read must not hand out a half-built selection.
                if (!guard())
                    return std::nullopt;
                return selection;
            }
            const auto parent = parentOf(element);
            if (!parent)
                break;
            element = *parent;
        }
    }
    return std::nullopt;
}

bool AXEngine::isStillFocused(const FocusedField& field)
{
    const auto frontmost = m_platform.workspace.frontmostApplication();
    if (!frontmost || frontmost->pid != field.pid)
        return false;
    // Focus still on the field itself: its text and selection are what the caller reads next, so
    // walking it again as a fresh read would only repeat a dozen calls into the application.
    if (const auto focused = focusedElement(*frontmost); focused && *focused == field.element)
        return guard() && !isProtected(field.element);
    const auto current = focusedField(*frontmost);
    return current && current->pid == field.pid && current->element == field.element;
}

bool AXEngine::isProtected(const AccessibilityElement& element)
{
    const QString role = readString(AXAttribute::role, element).value_or(QString());
    const QString subrole = readString(AXAttribute::subrole, element).value_or(QString());
    const bool protectedFlag = readBoolean(AXAttribute::protectedContent, element).value_or(false);
    return FocusedRoleRules::isProtected(role, subrole, protectedFlag);
}

} // namespace qw
