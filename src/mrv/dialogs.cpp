// The dialogs registry and the shared routines built on it.
#include "dialogs.h"

#include "dataset.h"
#include "datasource.h"
#include "displaysuspended.h"
#include "errors.h"
#include "qtdialogs.h"

#include <QDir>
#include <QFileInfo>

namespace mrv {

Dialogs::~Dialogs() = default;

namespace {

std::unique_ptr<Dialogs>& current()
{
    static std::unique_ptr<Dialogs> dialogs;
    return dialogs;
}

// Restores the cursor of a data set that a chooser walks through.
class CursorKeeper {
public:
    explicit CursorKeeper(TDataSet* ds)
        : m_ds(ds)
        , m_row(ds->RecNo())
    {}
    ~CursorKeeper()
    {
        if (m_row >= 0 && m_row < m_ds->RecordCount())
            m_ds->setRecNo(m_row);
    }

private:
    TDataSet* m_ds;
    int m_row;
};

void pick(TDataSource* src, const QString& keyField, const QString& caption, bool requireChoice, QString& list)
{
    if (!src || !src->DataSet())
        throw Exception(QStringLiteral("A lista de escolha não tem dados associados."));
    TDataSet* ds = src->DataSet();
    if (!ds->Active())
        ds->Open();
    const qsizetype bar = caption.indexOf(QLatin1Char('|'));
    const QString title = bar < 0 ? caption : caption.left(bar);
    const QString emptyText = bar < 0 ? QString() : caption.mid(bar + 1);
    if (ds->IsEmpty()) {
        // Said, never silent: a picker that does nothing visible looks broken.
        dialogs().message(emptyText.isEmpty() ? QStringLiteral("Não há registros.") : emptyText, mtInformation, mbOK);
        return;
    }
    for (;;) {
        QString chosen = list;
        if (!dialogs().pickList(src, keyField, title, chosen))
            return;
        if (requireChoice && choiceKeys(chosen).isEmpty()) {
            dialogs().message(QStringLiteral("Marque ao menos um item."), mtWarning, mbOK);
            continue;
        }
        list = chosen;
        return;
    }
}

} // namespace

Dialogs& dialogs()
{
    auto& d = current();
    if (!d)
        d = std::make_unique<QtDialogs>();
    return *d;
}

void setDialogs(std::unique_ptr<Dialogs> replacement)
{
    current() = std::move(replacement);
}

void MensErro(const QString& text, bool abort)
{
    dialogs().message(text, mtError, mbOK);
    if (abort)
        throw EAbort();
}

void PesquisaLista(TDataSource* src, const QString& keyField, const QString& caption, bool requireChoice, QString& list)
{
    pick(src, keyField, caption, requireChoice, list);
}

void PesquisaListaMsg(TDataSource* src, const QString& keyField, const QString& caption, bool requireChoice,
                      QString& list)
{
    pick(src, keyField, caption, requireChoice, list);
}

void Procura(TDataSet* ds)
{
    if (!ds || !ds->Active() || ds->IsEmpty())
        return;
    dialogs().find(ds);
}

QString saveStartPath(const QString& suggestedName, const QString& lastFolder, const QString& documentsFolder)
{
    // The program's own folder is never a place a user keeps reports.
    QString folder = QDir::homePath();
    for (const QString& candidate : {lastFolder, documentsFolder})
        if (!candidate.isEmpty() && QFileInfo(candidate).isDir()) {
            folder = candidate;
            break;
        }
    return QDir(folder).filePath(suggestedName);
}

QString withDefaultSuffix(const QString& path, const QString& suffix)
{
    if (path.isEmpty() || suffix.isEmpty() || !QFileInfo(path).suffix().isEmpty())
        return path;
    return path.endsWith(QLatin1Char('.')) ? path + suffix : path + QLatin1Char('.') + suffix;
}

int findRow(TDataSet* ds, const QString& fieldName, const QString& text, int start)
{
    TField* field = ds->FieldByName(fieldName);
    const int count = ds->RecordCount();
    if (count == 0 || text.isEmpty())
        return -1;
    start = ((start % count) + count) % count;
    DisplaySuspended quiet(ds);
    CursorKeeper keeper(ds);
    for (int i = 0; i < count; ++i) {
        const int row = (start + i) % count;
        ds->setRecNo(row);
        if (field->DisplayText().contains(text, Qt::CaseInsensitive))
            return row;
    }
    return -1;
}

RowSnapshot snapshotRows(TDataSet* ds, const QString& keyField)
{
    RowSnapshot snap;
    TField* key =
        keyField.isEmpty() ? (ds->fields().isEmpty() ? nullptr : ds->fields().first()) : ds->FieldByName(keyField);
    QList<TField*> shown;
    for (TField* f : ds->fields()) {
        if (!f->Visible)
            continue;
        shown << f;
        snap.fieldNames << f->name();
        snap.labels << (f->DisplayLabel.isEmpty() ? f->name() : f->DisplayLabel);
    }
    DisplaySuspended quiet(ds);
    CursorKeeper keeper(ds);
    for (int row = 0; row < ds->RecordCount(); ++row) {
        ds->setRecNo(row);
        QStringList cells;
        for (TField* f : shown)
            cells << f->DisplayText();
        snap.cells << cells;
        snap.keys << (key ? key->AsString().trimmed() : QString());
    }
    return snap;
}

} // namespace mrv
