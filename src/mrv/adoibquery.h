// A read-only query with one text per database dialect, opened into memory.
#pragma once

#include "dataset.h"

#include <QHash>
#include <QStringList>

namespace mrv {

class TADOIBQuery : public TDataSet {
    Q_OBJECT
public:
    explicit TADOIBQuery(QObject* parent = nullptr);

    // The same statement for each dialect of the suite; SQL serves SQLite and PostgreSQL.
    QString SQL, SQL_ORACLE, SQL_MSSQL, SQL_IB;

    // String parameters ":P_NAME" of the statement, bound by name, never spliced.
    // Throws when the query is open (close it first) or the statement has no such parameter.
    void setParam(const QString& name, const QString& value);
    QString param(const QString& name) const;
    QStringList paramNames() const; // in order of first appearance in the statement

protected:
    void doOpen() override;

private:
    QString statement() const;

    QHash<QString, QString> m_params; // upper-case name -> value
};

} // namespace mrv
