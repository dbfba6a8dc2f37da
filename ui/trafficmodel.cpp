#include "ui/trafficmodel.h"

#include "archives/trafficdecode.h"

#include <QBrush>
#include <QDateTime>
#include <algorithm>

TrafficModel::TrafficModel(const TrafficRecorder& recorder, QObject* parent)
    : QAbstractTableModel(parent), m_recorder(recorder) {}

bool TrafficModel::shown(const TrafficEntry& e) const {
    return m_filter < 0 || e.address == m_filter;
}

bool TrafficModel::pull() {
    QList<TrafficEntry> fresh = m_recorder.since(m_next);
    m_next = m_recorder.nextNumber();
    fresh.removeIf([this](const TrafficEntry& e) { return !shown(e); });
    // The table holds what the ring holds: rows the ring has let go of leave it too, filtered or not.
    const quint64 oldest = m_recorder.entries().empty() ? m_next : m_recorder.entries().front().number;
    const auto kept =
        std::lower_bound(m_rows.cbegin(), m_rows.cend(), oldest,
                         [](const TrafficEntry& e, quint64 number) { return e.number < number; });
    if (const int gone = int(kept - m_rows.cbegin()); gone > 0) {
        beginRemoveRows({}, 0, gone - 1);
        m_rows.remove(0, gone);
        endRemoveRows();
    }
    if (fresh.isEmpty()) return false;
    beginInsertRows({}, int(m_rows.size()), int(m_rows.size() + fresh.size()) - 1);
    m_rows.append(fresh);
    endInsertRows();
    return true;
}

void TrafficModel::setAddressFilter(int address) {
    m_filter = address;
    reload();
}

void TrafficModel::reload() {
    beginResetModel();
    m_rows.clear();
    m_next = 0;
    endResetModel();
    pull();
}

int TrafficModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_rows.size());
}

int TrafficModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TrafficModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_rows.size()) return {};
    const TrafficEntry& e = m_rows[index.row()];
    if (role == Qt::ForegroundRole) return e.isError() ? QVariant(QBrush(Qt::red)) : QVariant();
    if (role == Qt::ToolTipRole && index.column() == ColTime)
        return QDateTime::fromMSecsSinceEpoch(e.timeMs).toString(QStringLiteral("dd.MM.yyyy hh:mm:ss.zzz"));
    // Verdicts and frames longer than their cells are read whole in the tooltip.
    if (role == Qt::ToolTipRole && (index.column() == ColVerdict || index.column() == ColBytes))
        return data(index, Qt::DisplayRole);
    if (role != Qt::DisplayRole) return {};
    switch (index.column()) {
    case ColTime:
        return QDateTime::fromMSecsSinceEpoch(e.timeMs).toString(QStringLiteral("hh:mm:ss.zzz"));
    case ColDirection:
        return traffic::directionText(e);
    case ColAddress:
        return e.address >= 0 ? QString::number(e.address) : QString();
    case ColFunction:
        return traffic::functionText(e);
    case ColVerdict:
        return traffic::verdictText(e);
    case ColReplyMs:
        return e.replyMs >= 0 ? QString::number(e.replyMs) : QString();
    case ColBytes:
        return traffic::hexText(e.bytes);
    }
    return {};
}

QVariant TrafficModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const char* const titles[] = {"Время", "Кадр", "Адрес", "Функция", "Результат", "мс", "Байты"};
    return section >= 0 && section < ColumnCount ? QString::fromUtf8(titles[section]) : QString();
}
