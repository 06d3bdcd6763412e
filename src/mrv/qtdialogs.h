// The dialogs a user sees: Qt message boxes and the kit's choosers, in Portuguese.
#pragma once

#include "dialogs.h"

namespace mrv {

class QtDialogs : public Dialogs {
public:
    int message(const QString& text, int type, int buttons) override;
    bool pickList(TDataSource* src, const QString& keyField, const QString& title, QString& list) override;
    bool lookup(TDataSource* src, const QString& title) override;
    bool find(TDataSet* ds) override;
    void preview(const QString& title, QTextDocument* doc) override;
    QString savePath(const QString& suggested, const QString& filter) override;
    bool inputText(const QString& caption, const QString& prompt, QString& value) override;
};

} // namespace mrv
