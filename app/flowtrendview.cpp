#include "app/flowtrendview.h"

#include "app/filesave.h"
#include "app/viewhost.h"
#include "ui/flowtrendwindow.h"
#include "ui/trendchart.h"

#include <QAction>
#include <QComboBox>
#include <QDateTime>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>

namespace {

// About two points per pixel column of the chart.
constexpr int Buckets = 480;
// While no poll comes, the right edge of the chart still moves on.
constexpr int RefreshMs = 5000;

} // namespace

FlowTrendView* FlowTrendView::install(ViewHost& host) {
    return new FlowTrendView(host);
}

FlowTrendView::FlowTrendView(ViewHost& host)
    : QObject(host.actionWindow()), m_host(host), m_window(std::make_unique<FlowTrendWindow>()) {
    setObjectName(QStringLiteral("FlowTrendView"));
    auto elapsed = std::make_shared<QElapsedTimer>();
    elapsed->start();
    clock = [elapsed, start = QDateTime::currentMSecsSinceEpoch()] { return start + elapsed->elapsed(); };

    m_refresh = new QTimer(this);
    m_refresh->setInterval(RefreshMs);
    connect(m_refresh, &QTimer::timeout, this, &FlowTrendView::refresh);
    host.watchFlows(this, [this](const trend::Poll& poll) { polled(poll); });
    connect(m_window.get(), &FlowTrendWindow::spanChanged, this, &FlowTrendView::refresh);
    connect(m_window->ButtonSavePng, &QPushButton::clicked, this, &FlowTrendView::ButtonSavePngClick);

    MenuFlowTrend = host.addServiceItem(QStringLiteral("MenuFlowTrend"), QStringLiteral("График расхода"));
    connect(MenuFlowTrend, &QAction::triggered, this, &FlowTrendView::MenuFlowTrendClick);
}

FlowTrendView::~FlowTrendView() = default;

void FlowTrendView::polled(const trend::Poll& poll) {
    m_trend.add(clock(), m_host.deviceAddress(), poll);
    refresh();
}

void FlowTrendView::MenuFlowTrendClick() {
    m_window->present();
    m_refresh->start();
    refresh();
}

void FlowTrendView::refresh() {
    if (!m_window->isVisible()) {
        m_refresh->stop();
        return;
    }
    const std::int64_t to = clock();
    const std::int64_t from = to - m_window->spanMs();
    // Samples further apart than two poll periods (and the exchanges' own time) are not consecutive
    // polls: the operator was elsewhere, and no line may bridge that.
    const std::int64_t maxStep = 2 * std::int64_t(m_host.pollIntervalMs()) + 15000;
    m_plot = m_trend.plot(m_host.deviceAddress(), from, to, Buckets, maxStep);
    // The date too, for a saved picture.
    QString dates = QDateTime::fromMSecsSinceEpoch(from).toString(QStringLiteral("dd.MM.yyyy"));
    const QString last = QDateTime::fromMSecsSinceEpoch(to).toString(QStringLiteral("dd.MM.yyyy"));
    if (last != dates) dates += QStringLiteral(" – ") + last;
    m_window->trendChart()->setTitle((m_host.deviceAddress() == 0 ? QStringLiteral("Прибор не выбран")
                                                                  : m_host.deviceCaption().simplified()) +
                                     QStringLiteral(", ") + dates);
    m_window->trendChart()->draw(m_plot, from, to);
}

void FlowTrendView::ButtonSavePngClick() {
    filesave::saveImage(m_host, m_window->chartImage(), QStringLiteral("FlowTrend.png"));
}
