#pragma once
// The look the parameter panels share: a single-bordered silver frame in Arial 7.5 pt with navy
// captions, the sizes of their controls drawn for that font.
#include <QString>

class QFrame;
class QLabel;
class QWidget;

namespace panelstyle {

void applyTo(QFrame* panel);
// Captions and group titles are navy; field texts stay black.
void navy(QWidget* widget);
// A navy plain-text caption named "Label" + the control's name.
QLabel* caption(const QString& text, const QString& controlName, QWidget* parent);

} // namespace panelstyle
