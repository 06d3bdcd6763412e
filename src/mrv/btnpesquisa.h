// Search button: opens a single-choice look-up over its data source and writes the key.
#pragma once

#include "dataset.h"
#include "datasource.h"

#include <QLineEdit>
#include <QPointer>
#include <QToolButton>
#include <functional>

namespace mrv {

class TBtnPesquisa : public QToolButton {
    Q_OBJECT
public:
    explicit TBtnPesquisa(QWidget* parent = nullptr);

    QLineEdit* Associate() const { return m_associate; }
    void setAssociate(QLineEdit* edit) { m_associate = edit; }
    QString Title;
    QString EmptyError;
    TDataSource* DataSource() const { return m_dataSource; }
    void setDataSource(TDataSource* source) { m_dataSource = source; }

    // Called from inside the search, so their failures end it; left false, ok cancels it.
    std::function<void(QObject* sender, bool& ok)> OnBeforePesq;
    std::function<void(QObject* sender)> OnAfterPesq;

    // The click: before-event, open the data set, EmptyError when empty, the look-up,
    // the first field of the chosen row into Associate, after-event. Throws.
    void Pesquisa();

signals:
    void beforePesq(bool& ok);
    void afterPesq();

private:
    QPointer<QLineEdit> m_associate;
    QPointer<TDataSource> m_dataSource;
};

} // namespace mrv
