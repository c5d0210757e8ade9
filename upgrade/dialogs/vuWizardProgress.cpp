#include "upgrade/dialogs/vuWizardProgress.h"

#include "upgrade/dialogs/vuUpdaterMessages.h"
#include "upgrade/utils/vuUtils.h"

namespace vu {

quint8 WizardTotalPercent(int filePercent, int index, int count) {
    if (count <= 0)
        return 0;
    return quint8(filePercent / count + PercentOf(count, index));
}

TvuTimeLeft SplitTimeLeft(qint64 seconds) {
    const qint64 minutesTotal = seconds / 60;
    return {int(minutesTotal / 60), int(minutesTotal % 60), int((seconds % 60) % 60)};
}

double FileSizeKb(qint64 bytes) {
    return double(bytes) / 1024.0;
}

QString WizardPositionText(int position, int count) {
    return FormatMessageText(vmDownloadingNofM, {position, count});
}

QString WizardFileSizeText(qint64 bytes) {
    return FormatMessageText(vmFileSize, {FileSizeKb(bytes)});
}

QString WizardTransferRateText(double kbPerSecond) {
    return FormatMessageText(vmTransferRate, {kbPerSecond});
}

QString WizardTimeLeftText(qint64 seconds) {
    const TvuTimeLeft left = SplitTimeLeft(seconds);
    return FormatMessageText(vmEstimatedTimeLeft, {left.Hours, left.Minutes, left.Seconds});
}

QString RetryStatusText(const QString& fileName, int retry, int retries, int seconds,
                        const QString& reason) {
    return FormatMessageText(vmRetryStatus, {fileName, retry, retries, seconds, reason});
}

} // namespace vu
