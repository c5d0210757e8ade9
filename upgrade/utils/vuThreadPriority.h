// Priorities of the upgrade component's worker threads: the priority table, and how Linux applies
// a priority (as the thread's nice value).
#pragma once

#include <QtGlobal>

namespace vu {

enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

// The priority table: tpIdle -15, tpLowest -2, tpLower -1, tpNormal 0, tpHigher 1, tpHighest 2,
// tpTimeCritical 15.
int ThreadPriorityValue(TThreadPriority priority);
// The last table entry with that value; tpNormal when none matches.
TThreadPriority ThreadPriorityFromValue(int value);
// Linux applies a priority as the worker's nice value: tpIdle 19, tpLowest 10, tpLower 5,
// tpNormal 0, tpHigher -5, tpHighest -10, tpTimeCritical -20 (raising needs privileges; when the
// system refuses, the thread keeps its nice value and reads back accordingly).
int ThreadPriorityNice(TThreadPriority priority);
// The entry with that nice value; tpNormal when none matches.
TThreadPriority ThreadPriorityFromNice(int nice);

// Gives the thread `tid` (a kernel thread id) the nice value of `priority`, when allowed.
void ApplyThreadPriority(qint64 tid, TThreadPriority priority);
// The priority the thread `tid` has now; `otherwise` when it cannot be read.
TThreadPriority ReadThreadPriority(qint64 tid, TThreadPriority otherwise);

} // namespace vu
