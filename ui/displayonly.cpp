#include "ui/displayonly.h"

#include "ui/keypressfilter.h"

#include <QLineEdit>

void EditDateAdjKeyPress(QLineEdit* field) {
    // The empty set drops every typed character; read-only also stops Delete, paste and drops,
    // which type nothing and so pass a key filter.
    new KeyPressFilter(field, QString());
    field->setReadOnly(true);
    field->setAcceptDrops(false);
}
