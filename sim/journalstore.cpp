#include "sim/journalstore.h"

namespace sim {

int JournalStore::add(const JournalEntry& entry) {
    if (m_capacity <= 0) return 0;
    while (m_entries.size() >= m_capacity)
        m_entries.removeFirst();
    const int id = m_nextId++;
    m_entries.append({id, entry});
    return id;
}

void JournalStore::close(int id, quint32 end) {
    for (auto it = m_entries.rbegin(); it != m_entries.rend(); ++it) {
        if (it->id == id) {
            if (it->entry.end == 0) it->entry.end = end;
            return;
        }
    }
}

bool JournalStore::isOpen(int id) const {
    for (auto it = m_entries.rbegin(); it != m_entries.rend(); ++it)
        if (it->id == id) return it->entry.end == 0;
    return false;
}

JournalEntry JournalStore::entry(int index) const {
    if (index < 0 || index >= m_entries.size()) return {};
    return m_entries[index].entry;
}

QList<JournalEntry> JournalStore::entries() const {
    QList<JournalEntry> out;
    out.reserve(m_entries.size());
    for (const auto& s : m_entries)
        out.append(s.entry);
    return out;
}

} // namespace sim
