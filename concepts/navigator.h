#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

// The classification navigator without widgets: the contents and selections of the five
// cascading lists (levels 1 to 5), the five level-digit strings and what a choice in each list
// does to them.
//
// A window mirrors this model: when the user chooses row r of list n, it calls
// chooseAtLevel(model, n, r), then shows lists n+1..5 again from the model. All texts are Big5
// bytes.
namespace velmora {

constexpr int kNavigatorLevels = 5;

// One list box: its items in order and its selected position (0-based, -1 for none).
struct NavigatorList {
    QByteArrayList items;
    int selected = -1;
};

struct NavigatorModel {
    // lists[0] is level 1 ("立場") ... lists[4] is level 5 ("八象"). lists[0] holds its two
    // fixed items from construction on; the others start empty.
    std::array<NavigatorList, kNavigatorLevels> lists;

    // The digits of each level's current choice. Empty at start, written only by a choice at
    // their own level, never reset. 1..3: "0" or "1" (the decimal text of the position, so "-1"
    // when the list had no selection); 4: "00".."11"; 5: "000".."111".
    QByteArray LevelDigits1;
    QByteArray LevelDigits2;
    QByteArray LevelDigits3;
    QByteArray LevelDigits4;
    QByteArray LevelDigits5;

    NavigatorModel();
};

// Records `position` (0-based, -1 for none) as the selection of list `level` (1..5) and applies
// that level's choice:
//   1: empties lists 2..5, records LevelDigits1, fills list 2 ("抽象","具象" for position 0,
//      "認識","行為" otherwise);
//   2: empties lists 3..5, records LevelDigits2, fills list 3 from digits 1-2;
//   3: empties lists 4..5, records LevelDigits3, fills list 4 from digits 1-3;
//   4: empties list 5, records LevelDigits4 (positions 0..3 only), fills list 5 from digits 1-5;
//   5: records LevelDigits5 (positions 0..7 only).
// Returns the concept code after a choice at level 5, the five digit strings joined
// ("11110010" for a complete path); no value for levels 1 to 4 and for a level outside 1..5
// (which changes nothing). After a level-5 choice the caller clears the report buffer, puts the
// code into the hidden code edit and runs the report.
std::optional<QByteArray> chooseAtLevel(NavigatorModel& model, int level, int position);

// The fixed texts, Big5.
// Caption of the group box of `level` (1..5): "立場", "現象", "認知", "四別", "八象".
QByteArray levelCaption(int level);
// The two items of list 1: "靜態，客觀（體）" and "動態，主觀（用） " (ends in an ASCII blank).
const QByteArrayList& level1Items();
// The same captions and items as Unicode text for the screen, equal to what fromBig5 makes of
// the Big5 forms, without a conversion (an empty caption outside 1..5).
QString levelCaptionText(int level);
QStringList level1ItemTexts();
// Items that a choice adds for a key of digits, or an empty list when the key matches no row:
// level 2 keys are "0"/other (list 2 gets items for any position), level 3 keys "00".."11",
// level 4 keys "000".."111", level 5 keys "00000".."11111".
QByteArrayList itemsForKey(int level, const QByteArray& key);

} // namespace velmora
