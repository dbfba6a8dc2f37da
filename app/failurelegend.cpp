#include "app/failurelegend.h"

#include "app/exchange.h"
#include "app/operatoraction.h"
#include "app/viewhost.h"
#include "device/failurelegend.h"
#include "ui/tag.h"
#include "ui/tform6.h"

#include <QPushButton>
#include <QTimer>

FailureLegend* FailureLegend::install(ViewHost& host) {
    return new FailureLegend(host);
}

FailureLegend::FailureLegend(ViewHost& host)
    : QObject(host.actionWindow()), m_host(host), m_form6(std::make_unique<TForm6>()) {
    setObjectName(QStringLiteral("FailureLegend"));
    for (QPushButton* button : m_host.actionWindow()->findChildren<QPushButton*>()) {
        if (button->objectName().startsWith(QLatin1String("ButtonBrouse")))
            connect(button, &QPushButton::clicked, this, [this, button] { ButtonBrouseClick(button); });
    }
}

FailureLegend::~FailureLegend() = default;

bool FailureLegend::fill(int channelTag) {
    const auto block = m_host.exchange().readHoldingSilently(legend::FirstRegister, legend::RegisterCount);
    const auto markers = block ? legend::markers(*block, channelTag, m_host.twoChannelMode()) : std::nullopt;
    if (markers) m_form6->showMarkers(*markers);
    return markers.has_value();
}

void FailureLegend::ButtonBrouseClick(QPushButton* button) {
    // A failed read shows nothing at all, not even the link indication.
    const OperatorAction action(m_host, {.poll = OperatorAction::Poll::Paused});
    if (!action) return;
    action.exchange([&] {
        if (fill(tag::of(button))) execModal(*m_form6);
    });
}
