#pragma once
// The traffic monitor's counters per device address, one row per address in ascending order. A look
// at the recorder costs what changed since the last one: new addresses arrive as inserted rows and
// only the rows whose counters moved are redrawn, so a full ring of 127 addresses stays cheap.
#include "link/trafficrecorder.h"

#include <QAbstractTableModel>
#include <vector>

class TrafficCountersModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column {
        ColAddress,
        ColRequests,
        ColGood,
        ColNoReply,
        ColCrc,
        ColExceptions,
        ColOther,
        ColMeanMs,
        ColWorstMs,
        ColumnCount
    };

    explicit TrafficCountersModel(const TrafficRecorder& recorder, QObject* parent = nullptr);

    // Takes in what the recorder counted since the last call.
    void pull();
    // Starts again from what the recorder holds now (after its counters were cleared).
    void reload();

    int address(int row) const { return m_addresses.at(std::size_t(row)); }
    // -1 when the address has no row.
    int rowOf(int address) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

  private:
    const TrafficRecorder& m_recorder;
    std::vector<int> m_addresses;
    // Counters changed by entries numbered from here on have not been shown yet.
    quint64 m_seen = 0;
};
