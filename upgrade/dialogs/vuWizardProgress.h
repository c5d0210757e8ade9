#pragma once
// The figures of the progress wizard, computed without a window.

#include <QString>
#include <QtGlobal>

namespace vu {

// Total bar: (file percentage div count) + PercentOf(count, index), as an 8-bit value; `index`
// is 0-based. 0 when there are no files.
quint8 WizardTotalPercent(int filePercent, int index, int count);

// Seconds left split into hours (not limited), minutes and seconds, each truncated toward zero.
struct TvuTimeLeft {
    int Hours = 0;
    int Minutes = 0;
    int Seconds = 0;
};
TvuTimeLeft SplitTimeLeft(qint64 seconds);

// The file size in kilobytes (1024 bytes) as the wizard shows it.
double FileSizeKb(qint64 bytes);

// The wizard's texts in the current language.
QString WizardPositionText(int position, int count); // "Downloading 2 of 3"
QString WizardFileSizeText(qint64 bytes);            // "File size: 12.3 Kb"
QString WizardTransferRateText(double kbPerSecond);  // "Transfer rate: 4.5 Kb/s"
QString WizardTimeLeftText(qint64 seconds);          // "Estimated time left: 1:02:05"
// A broken transfer of `fileName` is tried again: "data.dat: retry 2 of 3 in 2 s: <reason>".
QString RetryStatusText(const QString& fileName, int retry, int retries, int seconds,
                        const QString& reason);

} // namespace vu
