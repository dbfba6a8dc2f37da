#pragma once
// The rows of the traffic monitor: the recorder's entries for one address (or all), newest last,
// taken in batches so that a busy line never redraws the table once per frame. Rows only come at
// the end and leave at the start, as the ring's do, so a look costs what changed, not the ring's size.
#include "link/trafficrecorder.h"

#include <QAbstractTableModel>
#include <QList>

class TrafficModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column {
        ColTime,
        ColDirection,
        ColAddress,
        ColFunction,
        ColVerdict,
        ColReplyMs,
        ColBytes,
        ColumnCount
    };

    explicit TrafficModel(const TrafficRecorder& recorder, QObject* parent = nullptr);

    // Appends what the recorder logged since the last call; true when rows came.
    bool pull();
    // -1: every address, and the bytes no request waited for.
    void setAddressFilter(int address);
    // Starts again from what the recorder holds now (after a filter change or a clear).
    void reload();

    const TrafficEntry& entry(int row) const { return m_rows.at(row); }
    const QList<TrafficEntry>& rows() const { return m_rows; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

  private:
    bool shown(const TrafficEntry& e) const;

    const TrafficRecorder& m_recorder;
    QList<TrafficEntry> m_rows;
    quint64 m_next = 0;
    int m_filter = -1;
};
