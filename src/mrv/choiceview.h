// The read-only, row-selecting table that the look-up and list-picker dialogs share.
#pragma once

#include <QAbstractItemModel>
#include <QHeaderView>
#include <QTableView>

namespace mrv::Internal {

inline void setUpChoiceView(QTableView* view, const QString& objectName, QAbstractItemModel* model)
{
    view->setObjectName(objectName);
    view->setModel(model);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->verticalHeader()->hide();
    view->horizontalHeader()->setStretchLastSection(true);
    view->resizeColumnsToContents();
}

} // namespace mrv::Internal
