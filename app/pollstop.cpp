#include "app/pollstop.h"

#include "app/exchange.h"
#include "app/tform1.h"

#include <QTimer>

void withPollStopped(TForm1& form, const std::function<void()>& exchanges) {
    GuardedAction guard(form.LinkIdle);
    if (!guard) return;
    TForm1::HandlerScope scope(form);
    form.Timer1->stop();
    {
        DisabledWindow disabled(&form);
        exchanges();
    }
    form.Timer1->start();
}
