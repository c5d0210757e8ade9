#pragma once

class QWidget;

// What a start-up leaves behind at its first paint, for finding where its memory goes and for
// checking that a change leaves the window's pixels alone. Each record is written only when its
// environment variable names a file:
//   VELMORA_PROBE_RESIDENT  resident KiB per mapping (file path, [heap], [anon] ...) from
//                           /proc/self/smaps, one "KiB<TAB>name" line each, largest first;
//   VELMORA_PROBE_PAGES     the offsets of the pages of mapped files that are in the process,
//                           one "offset<TAB>path" line each;
//   VELMORA_PROBE_GRAB      the window as it draws itself (QWidget::grab), PNG;
//   VELMORA_PROBE_SCREEN    the whole screen as the display shows it, PNG.
void recordStartupProbes(QWidget& window);
