#include "notebook.h"

namespace mrv {

TNotebook::TNotebook(QWidget* parent)
    : QStackedWidget(parent)
{}

QWidget* TNotebook::addPage(const QString& name)
{
    auto* page = new QWidget(this);
    page->setObjectName(name);
    addWidget(page);
    return page;
}

} // namespace mrv
