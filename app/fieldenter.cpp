#include "app/fieldenter.h"

#include "app/exchange.h"
#include "app/tform1.h"

#include <QLineEdit>
#include <QTimer>

using namespace param;

void enterField(TForm1& form, const FieldEnter& enter) {
    const Field& field = enter.field;
    if (!enter.edit || !field.editable()) return;
    GuardedAction guard(form.LinkIdle);
    if (!guard) return;
    TForm1::HandlerScope scope(form);
    if (field.poll == Poll::StopsOnEnter) form.Timer1->stop();
    Verdict verdict = Verdict::Refused;
    {
        // Kept disabled through the re-read too: the engine pumps events while it waits, and a
        // menu command run from there would start a second exchange inside this one.
        DisabledWindow disabled(&form);
        const Checked checked = check(field, enter.reg, enter.edit->text(), enter.refusedSilently);
        verdict = checked.verdict;
        if (verdict == Verdict::Write) {
            if (enter.accepted)
                enter.accepted(checked);
            else
                form.exchange().write(checked.write);
        } else if (verdict == Verdict::Refused && field.refusal == Refusal::Clear) {
            enter.edit->clear();
        }
        if (field.rereadAfter && enter.reread) enter.reread();
    }
    // The window took the focus back when it was enabled; the operator goes on in this field.
    enter.edit->setFocus();
    // A refused text kept for mending keeps the poll from writing over it, where the poll fills it.
    const bool kept = verdict == Verdict::Refused && field.refusal == Refusal::KeepText &&
                      field.encoding != Encoding::None;
    if (field.poll == Poll::PausedWhileTyping && !kept) form.Timer1->start();
}
