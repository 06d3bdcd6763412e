// A screen's message catalogue: "key|text" lines, keys matched without regard to case.
#pragma once

#include <QHash>
#include <QObject>
#include <QStringList>

namespace mrv {

class TMessages : public QObject {
    Q_OBJECT
public:
    explicit TMessages(QObject* parent = nullptr);

    void setLines(const QStringList& lines);
    QStringList lines() const { return m_lines; }

    // The text of the key; a key the catalogue lacks yields the key itself.
    QString Msg(const QString& key) const;
    bool contains(const QString& key) const;

    // Shows Msg(key) through dialogs(). type 3 confirmation, 2 information;
    // buttons 3 Yes/No, 4 OK. Returns 6 Yes, 7 No, 1 OK.
    int ShowMsg(const QString& key, int type, int buttons, int help = 0);

private:
    QStringList m_lines;
    QHash<QString, QString> m_texts; // lower-case key -> text
};

} // namespace mrv
