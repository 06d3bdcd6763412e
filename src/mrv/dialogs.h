// Every dialog the kit opens goes through one replaceable interface.
#pragma once

#include "protocol.h"

#include <QString>
#include <QStringList>
#include <memory>

class QTextDocument;

namespace mrv {

class TDataSet;
class TDataSource;

// Message types and button sets of ShowMsg/MensErro, and the answers they return.
enum MsgType { mtWarning = 0, mtError = 1, mtInformation = 2, mtConfirmation = 3 };
enum MsgButtons { mbYesNo = 3, mbOK = 4 };
enum ModalResult { mrNone = 0, mrOk = 1, mrCancel = 2, mrYes = 6, mrNo = 7 };

class Dialogs {
public:
    virtual ~Dialogs();

    virtual int message(const QString& text, int type, int buttons) = 0;
    // Multiple choice over the rows of src; list holds the pre-marked keys on entry and
    // the chosen ones on OK (see choiceList). Cancel leaves list alone and returns false.
    virtual bool pickList(TDataSource* src, const QString& keyField, const QString& title, QString& list) = 0;
    // Single choice; on OK the chosen row is the data set's current row.
    virtual bool lookup(TDataSource* src, const QString& title) = 0;
    // Lets the user find a row by column and text; a found row stays current.
    virtual bool find(TDataSet* ds) = 0;
    virtual void preview(const QString& title, QTextDocument* doc) = 0;
    // Empty when the user cancels.
    virtual QString savePath(const QString& suggested, const QString& filter) = 0;
    // A line of text from the user; false when cancelled.
    virtual bool inputText(const QString& caption, const QString& prompt, QString& value) = 0;
};

// The dialogs in use: Qt's unless replaced (tests and --automate install scripted ones).
Dialogs& dialogs();
void setDialogs(std::unique_ptr<Dialogs> replacement);

// Shows text as an error; with abort it then ends the running operation (throws EAbort).
void MensErro(const QString& text, bool abort);

// Multiple choice; caption is "title|text shown when there are no rows". The data set
// is opened when closed. On OK list becomes the chosen keys, each followed by "_".
// With no rows both show the text after the bar and leave the list alone.
// requireChoice refuses an OK with nothing marked.
void PesquisaLista(TDataSource* src, const QString& keyField, const QString& caption, bool requireChoice,
                   QString& list);
void PesquisaListaMsg(TDataSource* src, const QString& keyField, const QString& caption, bool requireChoice,
                      QString& list);

// Lets the user find a row of the data set.
void Procura(TDataSet* ds);

// Where a save dialog starts: the suggested name in the last folder saved to, or else in the
// documents folder, or else in the home folder.
QString saveStartPath(const QString& suggestedName, const QString& lastFolder, const QString& documentsFolder);
// A path as saved: a file name typed without an extension gets the format's ("csv", "pdf").
QString withDefaultSuffix(const QString& path, const QString& suffix);


// First row at or after start (wrapping) whose field's display text contains text,
// without regard to case; -1 when none. Does not move the cursor.
int findRow(TDataSet* ds, const QString& fieldName, const QString& text, int start);

// A snapshot of the rows for a chooser: the visible fields' labels and display texts,
// and the key of every row. Leaves the cursor where it was.
struct RowSnapshot {
    QStringList fieldNames;
    QStringList labels;
    QList<QStringList> cells;
    QStringList keys;
};
RowSnapshot snapshotRows(TDataSet* ds, const QString& keyField);

} // namespace mrv
