#include "app/fieldenter.h"

#include "app/exchange.h"
#include "app/operatoraction.h"
#include "app/viewhost.h"

#include <QLineEdit>
#include <QTimer>

using namespace param;

void enterField(ViewHost& host, const FieldEnter& enter) {
    const Field& field = enter.field;
    if (!enter.edit || !field.editable()) return;
    OperatorAction action(host, {.poll = field.poll == Poll::StopsOnEnter ? OperatorAction::Poll::Stopped
                                                                          : OperatorAction::Poll::Untouched});
    if (!action) return;
    Verdict verdict = Verdict::Refused;
    // Kept disabled through the re-read too: the engine pumps events while it waits, and a menu
    // command run from there would start a second exchange inside this one.
    action.exchange([&] {
        const Checked checked = check(field, enter.reg, enter.edit->text(), enter.refusedSilently);
        verdict = checked.verdict;
        if (verdict == Verdict::Write) {
            if (enter.accepted)
                enter.accepted(checked);
            else
                host.exchange().write(checked.write);
        } else if (verdict == Verdict::Refused && field.refusal == Refusal::Clear) {
            enter.edit->clear();
        }
        if (field.rereadAfter && enter.reread) enter.reread();
    });
    // The window took the focus back when it was enabled; the operator goes on in this field.
    enter.edit->setFocus();
    // A refused text kept for mending keeps the poll from writing over it, where the poll fills it.
    const bool kept =
        verdict == Verdict::Refused && field.refusal == Refusal::KeepText && field.encoding != Encoding::None;
    if (field.poll == Poll::PausedWhileTyping && !kept) action.startPollAtEnd(true);
}
