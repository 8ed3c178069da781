#include "tests/race/RaceChecker.h"

#include "accessibility/adapters/AXVocabulary.h"

namespace qw::test {

namespace {

const QString kTranslated = QStringLiteral("EN:");

// Whether `written` is the translation of `read`, or (a restore) `read` the translation of it.
// The translation of a selected piece loses the spaces around it (the provider's reply is
// trimmed); a whole value must match exactly, or a space typed after the read would be lost.
bool translationPair(const QString& read, const QString& written, bool piece)
{
    if (piece)
        return written.trimmed() == (kTranslated + read).trimmed() ||
               read.trimmed() == (kTranslated + written).trimmed();
    return written == kTranslated + read || read == kTranslated + written;
}

// What the writer's fresh reads showed of the text it replaces: the whole value, or the range it
// read for a selection or a paste.
std::optional<QString> freshlyReadText(const SubstituteDesktop::TextAccess& access)
{
    if (!access.lastRead)
        return std::nullopt;
    if (access.attribute == AXAttribute::value)
        return access.lastRead;
    const std::optional<TextRange> range = access.lastRangeRead;
    if (!range || range->end() > access.lastRead->size())
        return std::nullopt;
    return access.lastRead->mid(range->location, range->length);
}

} // namespace

const QStringList& RaceChecker::alphabets()
{
    static const QStringList letters{QStringLiteral("今天开会明早"), QStringLiteral("见面好的谢周"),
                                     QStringLiteral("计划公司预算")};
    return letters;
}

const QString& RaceChecker::secretKey()
{
    static const QString key = QStringLiteral("sk-proj-a1b2c3d4e5f6g7h8i9j0k1l2");
    return key;
}

const QString& RaceChecker::passwordWord()
{
    static const QString word = QStringLiteral("钥匙");
    return word;
}

RaceChecker::RaceChecker(RaceWorld& world) : m_world(world)
{
    for (std::size_t app = 0; app < world.apps.size(); ++app) {
        for (std::size_t index = 0; index < world.apps[app].fields.size(); ++index) {
            const int id = world.apps[app].fields[index].id();
            m_elementApp.insert(id, int(app));
            if (index + 1 == world.apps[app].fields.size())
                m_passwordElements.insert(id);
        }
        m_open.append(false);
        m_sentSinceOpened.append(QSet<QString>());
    }
    m_expectedClipboard = world.desktop.clipboardItems();
    takePermissions();
    world.desktop.observeTextAccess([this](const TextAccess& access) { onAccess(access); });
    QObject::connect(world.model.get(), &AppModel::changed, [this] { onModelChanged(); });
    world.onMoment = [this] {
        atMoment();
    };
}

// The user acting after the writer's last read of the field's value is the moment no writer can
// close (the write and the keystroke cross): neither the write nor its outcome is judged.
// Callers hold the mutex.
bool RaceChecker::userActedSinceLastRead(qsizetype position, int element) const
{
    qsizetype lastRead = -1;
    for (qsizetype index = position - 1; index >= 0; --index) {
        const TextAccess& access = m_log[index];
        if (access.kind == TextAccess::Kind::read && access.element == element &&
            access.attribute == AXAttribute::value) {
            lastRead = index;
            break;
        }
    }
    return !m_userMarks.isEmpty() && m_userMarks.last() > lastRead;
}

void RaceChecker::userActed()
{
    std::lock_guard lock(m_mutex);
    m_userMarks.append(int(m_log.size()));
}

void RaceChecker::clipboardSetBySomeoneElse()
{
    m_expectedClipboard = m_world.desktop.clipboardItems();
}

void RaceChecker::takePermissions()
{
    std::lock_guard lock(m_mutex);
    for (std::size_t app = 0; app < m_world.apps.size(); ++app) {
        const QString& id = m_world.apps[app].bundleID;
        const bool open =
            m_world.model->allowedBundleIDs().contains(id) && !m_world.model->isAppIgnoredToday(id);
        if (!open)
            m_sentSinceOpened[int(app)].clear();
        m_open[int(app)] = open;
    }
}

int RaceChecker::appOfText(const QString& text) const
{
    for (int app = 0; app < alphabets().size(); ++app) {
        for (const QChar letter : alphabets()[app]) {
            if (text.contains(letter))
                return app;
        }
    }
    return -1;
}

int RaceChecker::openFieldHolding(const QString& text) const
{
    for (std::size_t app = 0; app < m_world.apps.size(); ++app) {
        for (const DesktopElement& field : m_world.apps[app].fields) {
            if (m_open[int(app)] && field.currentValue().value_or(QString()).contains(text))
                return int(app);
        }
    }
    return -1;
}

int RaceChecker::appOfElement(int element) const
{
    return m_elementApp.value(element, -1);
}

void RaceChecker::fail(const QString& what)
{
    std::lock_guard lock(m_mutex);
    m_violations.append(what);
}

void RaceChecker::onAccess(const TextAccess& access)
{
    std::lock_guard lock(m_mutex);
    const int position = int(m_log.size());
    m_log.append(access);
    if (access.kind == TextAccess::Kind::read) {
        if (m_passwordElements.contains(access.element))
            fail(QStringLiteral("a password field was read"));
        return;
    }
    const int app = appOfElement(access.element);
    if (app < 0) {
        fail(QStringLiteral("written into an element that is no application's field"));
        return;
    }
    if (!m_open[app])
        fail(QStringLiteral("written into %1 while it is not allowed or paused").arg(m_world.apps[app].name));

    if (userActedSinceLastRead(position, access.element)) {
        ++m_writesInUserMoment;
        return;
    }
    ++m_writesJudged;
    if (!access.lastRead) {
        fail(QStringLiteral("written without a fresh read of the field"));
        return;
    }
    const std::optional<QString> replaced = freshlyReadText(access);
    if (!replaced)
        fail(QStringLiteral("pasted or wrote a selection without reading the selected range"));
    else if (!translationPair(*replaced, access.text, *replaced != access.lastRead))
        fail(QStringLiteral("wrote \"%1\" where the fresh read showed \"%2\"").arg(access.text, *replaced));
}

void RaceChecker::onModelChanged()
{
    const bool validating = m_world.model->isValidatingReplacement();
    std::lock_guard lock(m_mutex);
    if (!m_validating && validating)
        m_jobStart = m_log.size();
    const bool ended = m_validating && !validating;
    m_validating = validating;
    if (!ended)
        return;

    qsizetype lastWrite = -1;
    for (qsizetype index = m_jobStart; index < m_log.size(); ++index) {
        if (m_log[index].kind != TextAccess::Kind::read)
            lastWrite = index;
    }
    if (lastWrite < 0)
        return;
    const QString status = m_world.model->status();
    if (status == QStringLiteral("正在验证输入框…") || status.isEmpty()) {
        fail(QStringLiteral("a write was issued and its outcome never reported"));
        return;
    }
    const TextAccess& write = m_log[lastWrite];
    if (userActedSinceLastRead(lastWrite, write.element))
        return; // the write and the user's change crossed: the outcome may honestly be unknown
    QString intended = write.text;
    if (write.attribute != AXAttribute::value) {
        const TextRange range =
            write.selection.value_or(TextRange{write.before.value_or(QString()).size(), 0});
        intended = write.before.value_or(QString()).replace(range.location, range.length, write.text);
    }
    std::optional<QString> now;
    for (const RaceWorld::App& app : m_world.apps) {
        for (const DesktopElement& field : app.fields) {
            if (field.id() == write.element)
                now = field.currentValue();
        }
    }
    if (now != intended)
        return; // the application did not take it: a failure message is the honest outcome
    const bool restore =
        freshlyReadText(write).value_or(QString()).trimmed() == (kTranslated + write.text).trimmed();
    if (!restore && (!status.startsWith(QStringLiteral("已通过")) || !m_world.model->hasUndo()))
        fail(QStringLiteral("a confirmed write was reported as \"%1\" and left %2 restore record")
                 .arg(status, m_world.model->hasUndo() ? QStringLiteral("a") : QStringLiteral("no")));
    if (restore && !status.startsWith(QStringLiteral("已恢复")))
        fail(QStringLiteral("a confirmed restore was reported as \"%1\"").arg(status));
}

void RaceChecker::atMoment()
{
    const AppModel& model = *m_world.model;
    const auto& sent = m_world.transport->sent;
    for (; m_sentSeen < sent.size(); ++m_sentSeen) {
        const QString text = sent[m_sentSeen].userText();
        // A text without any application's letters (a selected piece of ASCII) belongs to the
        // allowed field that holds it.
        const int app = appOfText(text) >= 0 ? appOfText(text) : openFieldHolding(text);
        // The key's prefix and twelve of its characters make it recognisable; a shorter piece
        // the user selected tells nothing of it.
        if (text.contains(passwordWord()) || text.contains(secretKey().left(15)))
            fail(QStringLiteral("sent a password or a secret: \"%1\"").arg(text));
        else if (app < 0)
            fail(QStringLiteral("sent \"%1\", which no allowed field holds").arg(text));
        else if (!m_open[app])
            fail(QStringLiteral("sent a text of %1 while it is not allowed or paused")
                     .arg(m_world.apps[app].name));
        else
            m_sentSinceOpened[app].insert(text);
    }
    if (model.showingPreview() && !model.showingError() && !model.translation().isEmpty()) {
        const QString shownFor =
            model.previewApplication() ? model.previewApplication()->bundleID : QString();
        int labelled = -1;
        for (std::size_t index = 0; index < m_world.apps.size(); ++index) {
            if (m_world.apps[index].bundleID == shownFor)
                labelled = int(index);
        }
        const int written = appOfText(model.original());
        const int app = written >= 0 ? written : labelled;
        if (written >= 0 && labelled != written)
            fail(
                QStringLiteral("shows a text of %1 as one of %2")
                    .arg(m_world.apps[written].name, labelled >= 0 ? m_world.apps[labelled].name : shownFor));
        else if (app < 0 || !m_open[app])
            fail(QStringLiteral("shows a translation for an application that is not allowed or paused"));
        else if (!m_sentSinceOpened[app].contains(model.original()))
            fail(QStringLiteral("shows a translation of \"%1\" not asked for since %2 was last allowed")
                     .arg(model.original(), m_world.apps[app].name));
        // The provider's reply loses the spaces around it; what the user sees is still the
        // translation of this very text.
        else if (model.translation().trimmed() != (kTranslated + model.original()).trimmed())
            fail(QStringLiteral("shows \"%1\" as the translation of \"%2\"")
                     .arg(model.translation(), model.original()));
    }
    // While a paste is under way the translation is on the clipboard by design; at rest the
    // content someone else put there must be back.
    if (!model.isValidatingReplacement() && m_world.desktop.clipboardItems() != m_expectedClipboard)
        fail(QStringLiteral("the clipboard does not hold what the user or another program put there"));
}

} // namespace qw::test
