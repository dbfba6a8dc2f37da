#pragma once
// One event journal of a meter: a bounded list, oldest entry first, the oldest dropped when full.
#include "sim/records.h"

#include <QList>

namespace sim {

class JournalStore {
  public:
    explicit JournalStore(int capacity = 32) : m_capacity(capacity) {}

    int capacity() const { return m_capacity; }
    int count() const { return int(m_entries.size()); }
    // Adds an event; returns an id by which an ongoing event is ended later.
    int add(const JournalEntry& entry);
    // Ends the event if it is still in the journal and still going on.
    void close(int id, quint32 end);
    bool isOpen(int id) const;
    // By record number, 0 the oldest; a number past the entries gives an empty (all-zero) entry.
    JournalEntry entry(int index) const;
    QList<JournalEntry> entries() const;
    void clear() { m_entries.clear(); }

  private:
    struct Stored {
        int id;
        JournalEntry entry;
    };
    int m_capacity;
    int m_nextId = 1;
    QList<Stored> m_entries;
};

} // namespace sim
