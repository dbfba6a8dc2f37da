#pragma once
// The meter keeps its archive records and journal entries in the program's own types; the bytes of
// function 65 come from records::encodeArchiveRecord and records::encodeJournalEntry.
#include "device/records.h"

namespace sim {
using ::ArchiveRecord;
using ::JournalEntry;
} // namespace sim
