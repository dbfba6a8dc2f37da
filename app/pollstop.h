#pragma once
// An operator's action on a polled view (the adjustment and measurement views, their legend).
#include <functional>

class TForm1;

// Takes the exchange guard (and does nothing when another action holds it), stops the poll so that
// no tick reads in between, keeps the window disabled while `exchanges` runs (the engine pumps
// events meanwhile), and starts the poll again.
void withPollStopped(TForm1& form, const std::function<void()>& exchanges);
