#include "ui/trafficcountersmodel.h"

#include <algorithm>

namespace {

// Short titles, so that every column fits beside the decoding; the whole name is the tooltip.
struct CounterTitle {
    const char* title;
    const char* tip;
};
constexpr CounterTitle Titles[TrafficCountersModel::ColumnCount] = {
    {"Адрес", "Адрес прибора"},
    {"Запросы", "Запросы"},
    {"Ответы", "Правильные ответы"},
    {"Нет ответа", "Запросы без ответа"},
    {"CRC", "Ответы с ошибкой CRC"},
    {"Искл.", "Исключения (ответы с кодом ошибки)"},
    {"Прочие", "Прочие ошибки: чужой адрес, функция, длина или подтверждение, переполнение, помехи"},
    {"Ср., мс", "Среднее время ответа, мс"},
    {"Макс., мс", "Наибольшее время ответа, мс"},
};

QString milliseconds(double v) {
    return v < 0 ? QString() : QString::number(v, 'f', 0);
}

} // namespace

TrafficCountersModel::TrafficCountersModel(const TrafficRecorder& recorder, QObject* parent)
    : QAbstractTableModel(parent), m_recorder(recorder) {
    reload();
}

void TrafficCountersModel::reload() {
    beginResetModel();
    m_addresses.clear();
    for (const auto& [address, counters] : m_recorder.counters())
        m_addresses.push_back(address);
    m_seen = m_recorder.nextNumber();
    endResetModel();
}

void TrafficCountersModel::pull() {
    const auto& all = m_recorder.counters();
    // Counters never lose an address except by a clear.
    if (all.size() < m_addresses.size()) {
        reload();
        return;
    }
    std::size_t row = 0;
    for (const auto& [address, counters] : all) {
        if (row < m_addresses.size() && m_addresses[row] == address) {
            if (counters.changedBy >= m_seen)
                emit dataChanged(index(int(row), 0), index(int(row), ColumnCount - 1));
        } else {
            beginInsertRows({}, int(row), int(row));
            m_addresses.insert(m_addresses.begin() + qsizetype(row), address);
            endInsertRows();
        }
        ++row;
    }
    m_seen = m_recorder.nextNumber();
}

int TrafficCountersModel::rowOf(int address) const {
    const auto at = std::lower_bound(m_addresses.begin(), m_addresses.end(), address);
    return at != m_addresses.end() && *at == address ? int(at - m_addresses.begin()) : -1;
}

int TrafficCountersModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_addresses.size());
}

int TrafficCountersModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TrafficCountersModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole) return {};
    const int address = m_addresses[std::size_t(index.row())];
    const auto found = m_recorder.counters().find(address);
    if (found == m_recorder.counters().end()) return {};
    const AddressCounters& c = found->second;
    switch (index.column()) {
    case ColAddress:
        return QString::number(address);
    case ColRequests:
        return QString::number(c.requests);
    case ColGood:
        return QString::number(c.good);
    case ColNoReply:
        return QString::number(c.noReply);
    case ColCrc:
        return QString::number(c.crcErrors);
    case ColExceptions:
        return QString::number(c.exceptions);
    case ColOther:
        return QString::number(c.otherErrors);
    case ColMeanMs:
        return milliseconds(c.meanMs());
    case ColWorstMs:
        return milliseconds(c.worstMs);
    }
    return {};
}

QVariant TrafficCountersModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount) return {};
    if (role == Qt::DisplayRole) return QString::fromUtf8(Titles[section].title);
    if (role == Qt::ToolTipRole) return QString::fromUtf8(Titles[section].tip);
    return {};
}
