#pragma once
// Display-only device fields (dates, times, measured values): every key is discarded and nothing
// can be pasted or dropped in, so the field only ever shows what the device reported.
class QLineEdit;

// The classic key handler of such fields; installs itself on the edit.
void EditDateAdjKeyPress(QLineEdit* field);
