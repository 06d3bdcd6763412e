// Scripted dialogs: answers come from queues, every text shown is recorded.
#include "scripteddialogs.h"

#include "dataset.h"
#include "datasource.h"
#include "errors.h"

#include <QTextDocument>

namespace mrv {

namespace {

template<class T> T takeAnswer(QList<T>& queue, const QString& what)
{
    if (queue.isEmpty())
        throw Exception(QStringLiteral("Nenhuma resposta programada para: %1").arg(what));
    return queue.takeFirst();
}

} // namespace

void ScriptedDialogs::queueMessage(int answer)
{
    m_messages << answer;
}
void ScriptedDialogs::queuePick(const QStringList& keys)
{
    m_picks << Pick{true, keys};
}
void ScriptedDialogs::queuePickKeep()
{
    m_picks << Pick{true, std::nullopt};
}
void ScriptedDialogs::queuePickCancel()
{
    m_picks << Pick{false, std::nullopt};
}
void ScriptedDialogs::queuePickFirst(int count)
{
    m_picks << Pick{true, std::nullopt, count};
}
void ScriptedDialogs::queueLookup(const QString& key)
{
    m_lookups << Choice{true, {}, key};
}
void ScriptedDialogs::queueLookupCancel()
{
    m_lookups << Choice{false, {}, {}};
}
void ScriptedDialogs::queueFind(const QString& fieldName, const QString& text)
{
    m_finds << Choice{true, fieldName, text};
}
void ScriptedDialogs::queueFindCancel()
{
    m_finds << Choice{false, {}, {}};
}
void ScriptedDialogs::queueSavePath(const QString& path)
{
    m_paths << path;
}
void ScriptedDialogs::queueInputText(const std::optional<QString>& text)
{
    m_inputs << text;
}

QStringList ScriptedDialogs::shownTexts() const
{
    QStringList texts;
    for (const Shown& s : m_shown)
        if (s.kind == QLatin1String("message"))
            texts << s.text;
    return texts;
}

QString ScriptedDialogs::lastText() const
{
    const QStringList texts = shownTexts();
    return texts.isEmpty() ? QString() : texts.last();
}

int ScriptedDialogs::pendingAnswers() const
{
    return int(m_messages.size() + m_picks.size() + m_lookups.size() + m_finds.size() + m_paths.size() +
               m_inputs.size());
}

int ScriptedDialogs::message(const QString& text, int type, int buttons)
{
    Shown s;
    s.kind = QStringLiteral("message");
    s.text = text;
    s.type = type;
    s.buttons = buttons;
    m_shown << s;
    if (onMessage)
        onMessage(text);
    if (buttons != mbYesNo)
        return mrOk;
    return takeAnswer(m_messages, text);
}

bool ScriptedDialogs::pickList(TDataSource* src, const QString& keyField, const QString& title, QString& list)
{
    const RowSnapshot rows = snapshotRows(src->DataSet(), keyField);
    const QStringList wanted = choiceKeys(list);
    Shown s;
    s.kind = QStringLiteral("pickList");
    s.title = title;
    s.offered = rows.keys;
    for (const QString& key : rows.keys)
        if (wanted.contains(key))
            s.preMarked << key;
    m_shown << s;

    const Pick answer = takeAnswer(m_picks, title);
    if (!answer.accept)
        return false;
    const QStringList marked = answer.first >= 0 ? rows.keys.mid(0, answer.first) : answer.keys.value_or(s.preMarked);
    for (const QString& key : marked)
        if (!rows.keys.contains(key))
            throw Exception(QStringLiteral("A lista \"%1\" não tem o item %2.").arg(title, key));
    QStringList ordered; // the picker returns keys in row order, as a user's marks would be
    for (const QString& key : rows.keys)
        if (marked.contains(key) && !ordered.contains(key))
            ordered << key;
    list = choiceList(ordered);
    return true;
}

bool ScriptedDialogs::lookup(TDataSource* src, const QString& title)
{
    TDataSet* ds = src->DataSet();
    const RowSnapshot rows = snapshotRows(ds, QString());
    Shown s;
    s.kind = QStringLiteral("lookup");
    s.title = title;
    s.offered = rows.keys;
    m_shown << s;

    const Choice answer = takeAnswer(m_lookups, title);
    if (!answer.accept)
        return false;
    const int row = int(rows.keys.indexOf(answer.text));
    if (row < 0)
        throw Exception(QStringLiteral("A lista \"%1\" não tem o item %2.").arg(title, answer.text));
    ds->setRecNo(row);
    return true;
}

bool ScriptedDialogs::find(TDataSet* ds)
{
    Shown s;
    s.kind = QStringLiteral("find");
    s.title = ds->objectName();
    m_shown << s;
    const Choice answer = takeAnswer(m_finds, QStringLiteral("Procurar"));
    if (!answer.accept)
        return false;
    const int row = findRow(ds, answer.field, answer.text, ds->RecNo() + 1);
    if (row < 0)
        return false;
    ds->setRecNo(row);
    return true;
}

void ScriptedDialogs::preview(const QString& title, QTextDocument* doc)
{
    Shown s;
    s.kind = QStringLiteral("preview");
    s.title = title;
    s.text = doc ? doc->toPlainText() : QString();
    m_shown << s;
}

QString ScriptedDialogs::savePath(const QString& suggested, const QString&)
{
    Shown s;
    s.kind = QStringLiteral("savePath");
    s.title = suggested;
    m_shown << s;
    return m_paths.isEmpty() ? QString() : m_paths.takeFirst();
}

bool ScriptedDialogs::inputText(const QString& caption, const QString& prompt, QString& value)
{
    Shown s;
    s.kind = QStringLiteral("inputText");
    s.title = caption;
    s.text = prompt;
    m_shown << s;
    const std::optional<QString> answer = takeAnswer(m_inputs, prompt);
    if (!answer)
        return false;
    value = *answer;
    return true;
}

} // namespace mrv
