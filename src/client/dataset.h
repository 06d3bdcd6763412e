// Rows of fields with a cursor: the base of client data sets and queries.
#pragma once

#include "field.h"

#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QVariant>
#include <QVector>

namespace mrv {

class TDataSet : public QObject {
    Q_OBJECT
public:
    enum State { dsInactive, dsBrowse, dsEdit, dsInsert };

    explicit TDataSet(QObject* parent = nullptr);
    ~TDataSet() override;

    // Design-time definition; kept across Open/Close and packet loads.
    TField* addField(const QString& name, FieldType type, int size, const QString& label = {}, int displayWidth = 0,
                     bool visible = true);
    TField* FieldByName(const QString& name) const; // throws mrv::Exception when missing
    TField* FindField(const QString& name) const;   // nullptr when missing
    QList<TField*> fields() const { return m_fields; }

    void Open();
    void Close();
    bool Active() const { return m_state != dsInactive; }
    void setActive(bool active);
    bool IsEmpty() const { return m_rows.isEmpty(); }
    int RecordCount() const { return int(m_rows.size()); }
    int RecNo() const { return m_current; } // 0-based; -1 when empty or closed

    void First();
    void Next();
    void Prior();
    void Last();
    bool Eof() const { return m_eof; }
    bool Bof() const { return m_bof; }
    void setRecNo(int row);

    // Makes the first row whose field equals the value current (exact, case-sensitive).
    bool Locate(const QString& fieldName, const QVariant& value);

    void Edit();
    void Append(); // a new last row, posted by Post
    void Post();
    void Cancel();
    void Delete();
    State state() const { return m_state; }

    // Nested; while disabled, no data/current/state signals; one dataChanged at the end.
    void DisableControls();
    void EnableControls();
    bool ControlsDisabled() const { return m_disableCount > 0; }

    // Loads a data packet (wire format); the data set becomes active.
    void setData(const QJsonObject& packet);
    QJsonObject Data() const; // all posted rows as a packet

    // Row access for grids and models, without moving the cursor.
    QVariant valueAt(int row, int column) const;

    // While a grid draws a row, the fields read that row as if it were current
    // (-1: the current row again), so a draw-cell event reads the cell's own values.
    void setDisplayRow(int row) { m_displayRow = row; }

signals:
    void stateChanged();
    void dataChanged();
    void currentChanged();

protected:
    // Fills the rows when Open() is called; the default opens an empty in-memory table.
    virtual void doOpen();
    // Replaces content with the given columns and rows; fields are matched by name
    // (case ignored), columns without a defined field get a new one.
    struct Column {
        QString name;
        FieldType type = FieldType::String;
        int size = 0;
    };
    void loadRows(const QVector<Column>& columns, QVector<QVector<QVariant>>&& rows);

private:
    friend class TField;
    QVariant currentValue(int column) const;
    void setCurrentValue(int column, const QVariant& value);
    void checkBrowseMode(); // posts a pending edit before the cursor moves
    void moveTo(int row);
    void setState(State state);
    void notifyData();
    void notifyCurrent();
    void removeDynamicFields();

    QList<TField*> m_fields;
    QList<TField*> m_dynamicFields; // created by a load, dropped at Close
    QVector<QVector<QVariant>> m_rows;
    QVector<QVariant> m_buffer; // edit/insert buffer
    int m_current = -1;
    int m_displayRow = -1;
    bool m_eof = true;
    bool m_bof = true;
    State m_state = dsInactive;

    int m_disableCount = 0;
    State m_stateAtDisable = dsInactive;
    bool m_pendingCurrent = false;
};

} // namespace mrv
