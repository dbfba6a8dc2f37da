#pragma once
// An Enter in a parameter field, the same for every panel: take the exchange guard, check the text
// against the field's row, write what it accepts, deal with a refused text as the row says, read
// the view again or start the poll where the row asks, and give the field its focus back.
#include "device/paramfield.h"

#include <QList>
#include <functional>

class QLineEdit;
class ViewHost;

struct FieldEnter {
    const param::Field& field;
    int reg = -1; // the row's register on the panel's channel
    QLineEdit* edit = nullptr;
    QList<int> refusedSilently{};
    // What an accepted value does, with the window disabled: by default its write is sent. A panel
    // shows there at once what the value means for its other fields, or works with it.
    std::function<void(const param::Checked&)> accepted{};
    // Reads the view again (rows with rereadAfter).
    std::function<void()> reread{};
};

void enterField(ViewHost& host, const FieldEnter& enter);
