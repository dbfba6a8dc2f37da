#include "app/flowtrendview.h"

#include "app/filesave.h"
#include "app/tform1.h"
#include "ui/flowtrendwindow.h"
#include "ui/statusbar.h"
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

FlowTrendView* FlowTrendView::install(TForm1& form) {
    return new FlowTrendView(form);
}

FlowTrendView::FlowTrendView(TForm1& form)
    : QObject(&form), m_form(form), m_window(std::make_unique<FlowTrendWindow>()) {
    setObjectName(QStringLiteral("FlowTrendView"));
    auto elapsed = std::make_shared<QElapsedTimer>();
    elapsed->start();
    clock = [elapsed, start = QDateTime::currentMSecsSinceEpoch()] { return start + elapsed->elapsed(); };

    m_refresh = new QTimer(this);
    m_refresh->setInterval(RefreshMs);
    connect(m_refresh, &QTimer::timeout, this, &FlowTrendView::refresh);
    connect(&form, &TForm1::flowsPolled, this, &FlowTrendView::polled);
    connect(m_window.get(), &FlowTrendWindow::spanChanged, this, &FlowTrendView::refresh);
    connect(m_window->ButtonSavePng, &QPushButton::clicked, this, &FlowTrendView::ButtonSavePngClick);

    MenuFlowTrend = form.addServiceItem(QStringLiteral("MenuFlowTrend"), QStringLiteral("График расхода"));
    connect(MenuFlowTrend, &QAction::triggered, this, &FlowTrendView::MenuFlowTrendClick);
}

FlowTrendView::~FlowTrendView() = default;

void FlowTrendView::polled(const trend::Poll& poll) {
    m_trend.add(clock(), m_form.DeviceAddress, poll);
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
    const std::int64_t maxStep = 2 * std::int64_t(m_form.Timer1->interval()) + 15000;
    m_plot = m_trend.plot(m_form.DeviceAddress, from, to, Buckets, maxStep);
    // The date too, for a saved picture.
    QString dates = QDateTime::fromMSecsSinceEpoch(from).toString(QStringLiteral("dd.MM.yyyy"));
    const QString last = QDateTime::fromMSecsSinceEpoch(to).toString(QStringLiteral("dd.MM.yyyy"));
    if (last != dates) dates += QStringLiteral(" – ") + last;
    m_window->trendChart()->setTitle((m_form.DeviceAddress == 0 ? QStringLiteral("Прибор не выбран")
                                                                : m_form.StatusBar2->text(0).simplified()) +
                                     QStringLiteral(", ") + dates);
    m_window->trendChart()->draw(m_plot, from, to);
}

void FlowTrendView::ButtonSavePngClick() {
    filesave::saveImage(m_form, m_window->chartImage(), QStringLiteral("FlowTrend.png"));
}

