#include "upgrade/utils/vuThreadPriority.h"

#include <sys/resource.h>

#include <cerrno>
#include <iterator>

namespace vu {

namespace {

struct PriorityEntry {
    int value; // the table's number
    int nice;  // what Linux applies
};
// In the order of TThreadPriority.
constexpr PriorityEntry kPriorities[] = {{-15, 19}, {-2, 10}, {-1, 5},  {0, 0},
                                         {1, -5},   {2, -10}, {15, -20}};
static_assert(std::size(kPriorities) == tpTimeCritical + 1);

int PriorityColumn(TThreadPriority priority, int PriorityEntry::*column) {
    return priority >= tpIdle && priority <= tpTimeCritical ? kPriorities[priority].*column : 0;
}

// The last entry whose `column` holds `v`; tpNormal when none does.
TThreadPriority PriorityWith(int PriorityEntry::*column, int v) {
    TThreadPriority result = tpNormal;
    for (size_t i = 0; i < std::size(kPriorities); ++i) {
        if (kPriorities[i].*column == v)
            result = static_cast<TThreadPriority>(i);
    }
    return result;
}

} // namespace

int ThreadPriorityValue(TThreadPriority priority) {
    return PriorityColumn(priority, &PriorityEntry::value);
}

TThreadPriority ThreadPriorityFromValue(int value) {
    return PriorityWith(&PriorityEntry::value, value);
}

int ThreadPriorityNice(TThreadPriority priority) {
    return PriorityColumn(priority, &PriorityEntry::nice);
}

TThreadPriority ThreadPriorityFromNice(int nice) {
    return PriorityWith(&PriorityEntry::nice, nice);
}

void ApplyThreadPriority(qint64 tid, TThreadPriority priority) {
    const int target = ThreadPriorityNice(priority);
    errno = 0;
    const int current = getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
    // Raising a priority needs privileges; when refused the thread keeps its value.
    if (errno != 0 || current != target)
        setpriority(PRIO_PROCESS, static_cast<id_t>(tid), target);
}

TThreadPriority ReadThreadPriority(qint64 tid, TThreadPriority otherwise) {
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
    return errno == 0 ? ThreadPriorityFromNice(nice) : otherwise;
}

} // namespace vu
