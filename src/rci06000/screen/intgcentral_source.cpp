// TfrmIntgCentral: the source branch row.
#include "intgcentral.h"

#include <clientdataset.h>
#include <radiobutton.h>

#include <QLineEdit>

void TfrmIntgCentral::medCdFilialChange(QObject* /*Sender*/)
{
    // What was chosen for the previous branch no longer holds.
    edtNmFilial->clear();
    rbtListaPrat->setChecked(true);
    if (cdsFiliGrup->Active())
        cdsFiliGrup->Close();
}
