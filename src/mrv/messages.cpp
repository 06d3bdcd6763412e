// Message catalogue lookup.
#include "messages.h"

#include "dialogs.h"
#include "mrvlogging.h"

namespace mrv {

TMessages::TMessages(QObject* parent)
    : QObject(parent)
{}

void TMessages::setLines(const QStringList& lines)
{
    m_lines = lines;
    m_texts.clear();
    for (const QString& line : lines) {
        const qsizetype bar = line.indexOf(QLatin1Char('|'));
        if (bar <= 0) {
            if (!line.trimmed().isEmpty())
                qCWarning(lcMrv) << "catalogue" << objectName() << "ignores a line without key:" << line;
            continue;
        }
        m_texts.insert(line.left(bar).trimmed().toLower(), line.mid(bar + 1));
    }
}

QString TMessages::Msg(const QString& key) const
{
    return m_texts.value(key.trimmed().toLower(), key);
}

bool TMessages::contains(const QString& key) const
{
    return m_texts.contains(key.trimmed().toLower());
}

int TMessages::ShowMsg(const QString& key, int type, int buttons, int)
{
    return dialogs().message(Msg(key), type, buttons);
}

} // namespace mrv
