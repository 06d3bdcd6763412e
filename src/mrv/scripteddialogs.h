// Dialogs that answer from a queue and record what they showed: for tests and --automate.
#pragma once

#include "dialogs.h"

#include <QList>
#include <QStringList>
#include <functional>
#include <optional>

namespace mrv {

class ScriptedDialogs : public Dialogs {
public:
    // What a dialog showed, in order.
    struct Shown {
        QString kind; // "message", "pickList", "lookup", "find", "preview", "savePath", "inputText"
        QString title;
        QString text;          // message text, preview text, prompt
        int type = 0;          // message type
        int buttons = 0;       // message buttons
        QStringList offered;   // keys offered by a picker / look-up
        QStringList preMarked; // keys already marked when a picker opened
    };

    // Answers, consumed in order by the dialog of their kind. A message with only an OK
    // button needs none; a question without a queued answer fails the run.
    void queueMessage(int answer);
    void queuePick(const QStringList& keys); // OK with exactly these keys marked
    void queuePickKeep();                    // OK with the pre-marked keys unchanged
    void queuePickFirst(int count);          // OK with the first count rows marked, whatever their keys
    void queuePickCancel();
    void queueLookup(const QString& key); // the row whose first field is key
    void queueLookupCancel();
    void queueFind(const QString& fieldName, const QString& text);
    void queueFindCancel();
    void queueSavePath(const QString& path); // empty = cancel
    void queueInputText(const std::optional<QString>& text);

    // Runs as each message shows, for a test that looks at the screen behind it.
    std::function<void(const QString& text)> onMessage;
    const QList<Shown>& shown() const { return m_shown; }
    QStringList shownTexts() const;
    QString lastText() const; // text of the last message, "" when none
    void clearShown() { m_shown.clear(); }
    int pendingAnswers() const;

    int message(const QString& text, int type, int buttons) override;
    bool pickList(TDataSource* src, const QString& keyField, const QString& title, QString& list) override;
    bool lookup(TDataSource* src, const QString& title) override;
    bool find(TDataSet* ds) override;
    void preview(const QString& title, QTextDocument* doc) override;
    QString savePath(const QString& suggested, const QString& filter) override;
    bool inputText(const QString& caption, const QString& prompt, QString& value) override;

private:
    struct Pick {
        bool accept = true;
        std::optional<QStringList> keys;
        int first = -1;
    };
    struct Choice {
        bool accept = true;
        QString field;
        QString text;
    };

    QList<int> m_messages;
    QList<Pick> m_picks;
    QList<Choice> m_lookups;
    QList<Choice> m_finds;
    QStringList m_paths;
    QList<std::optional<QString>> m_inputs;
    QList<Shown> m_shown;
};

} // namespace mrv
