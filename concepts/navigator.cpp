#include "concepts/navigator.h"

#include "big5/big5.h"

#include <initializer_list>
#include <vector>

namespace velmora {
namespace {

// A key of digits and the items a choice adds for it, as written in the source (UTF-8).
struct KeyedItems {
    const char* key;
    std::vector<const char*> items;
};

const std::vector<const char*> kLevel1Items = {"靜態，客觀（體）", "動態，主觀（用） "};

const char* levelCaptionUtf8(int level) {
    static const char* const captions[kNavigatorLevels] = {"立場", "現象", "認知", "四別", "八象"};
    return level >= 1 && level <= kNavigatorLevels ? captions[level - 1] : nullptr;
}

// clang-format off
const std::vector<KeyedItems> kLevel3Rows = {
    {"00", {"定義", "應用"}},
    {"01", {"本存", "人造"}},
    {"10", {"感知", "狀態"}},
    {"11", {"能力", "經驗"}},
};

const std::vector<KeyedItems> kLevel4Rows = {
    {"000", {"符號", "語法", "根源", "現象"}},
    {"001", {"規范", "人際", "資訊", "意義"}},
    {"010", {"本體", "肢體", "植物", "動物"}},
    {"011", {"衣食", "住行", "起居", "工作"}},
    {"100", {"刺激", "感覺", "心緒", "認知"}},
    {"101", {"化態", "動能", "界能", "知態"}},
    {"110", {"官能", "體能", "技能", "智能"}},
    {"111", {"生活", "溝通", "行事", "控制"}},
};

// Position 7 of "01010" is two ASCII blanks; position 5 of "11101" is "宣" and one blank.
const std::vector<KeyedItems> kLevel5Rows = {
    {"00000", {"類詞", "序詞", "數詞", "時詞", "位詞", "度詞", "幣詞", "量詞"}},
    {"00001", {"意詞", "述詞", "代詞", "副詞", "補詞", "聲詞", "連詞", "介詞"}},
    {"00010", {"本源", "物源", "理源", "感源", "種源", "政源", "居源", "知源"}},
    {"00011", {"景象", "能象", "體象", "表象", "跡象", "形象", "水象", "氣象"}},
    {"00100", {"群體", "社會", "組織", "事務", "職業", "職位", "界域", "傳統"}},
    {"00101", {"關系", "家族", "稱呼", "名份", "行逕", "角色", "宗教", "封建"}},
    {"00110", {"道德", "訊息", "事件", "識別", "文件", "文學", "藝朮", "標志"}},
    {"00111", {"物資", "精神", "信念", "感受", "財產", "疾病", "命運", "機遇"}},
    {"01000", {"元素", "地形", "水界", "水域", "質體", "形體", "能體", "命體"}},
    {"01001", {"部位", "結構", "上肢", "下肢", "感官", "器官", "體液", "體表"}},
    {"01010", {"糧食", "菜蔬", "果實", "枝干", "觀賞", "特作", "建材", "  "}},
    {"01011", {"養殖", "飛禽", "走獸", "水族", "爬虫", "飛虫", "生機", "傳說"}},
    {"01100", {"食物", "肉食", "佐食", "食式", "衣料", "衣服", "衣位", "衣物"}},
    {"01101", {"環境", "私宅", "公用", "建體", "通道", "行具", "構件", "身後"}},
    {"01110", {"食具", "炊具", "容具", "盛具", "用具", "家具", "飾具", "輔具"}},
    {"01111", {"文具", "樂器", "工具", "農具", "武器", "機器", "材料", "廢料"}},
    {"10000", {"光狀", "色狀", "形狀", "體狀", "質狀", "性狀", "水狀", "山狀"}},
    {"10001", {"食覺", "視覺", "聽覺", "膚覺", "體覺", "心覺", "知覺", "意覺"}},
    {"10010", {"心感", "好感", "情感", "物感", "煩感", "憂感", "羞感", "惡感"}},
    {"10011", {"體性", "本性", "個性", "習性", "膽性", "才性", "良性", "惡性"}},
    {"10100", {"宙態", "宇態", "能態", "勁態", "容態", "質態", "識態", "生態"}},
    {"10101", {"轉動", "移動", "飄動", "流動", "形動", "引動", "力動", "速動"}},
    {"10110", {"通界", "連界", "位界", "觸界", "量界", "掩界", "交界", "糾界"}},
    {"10111", {"知時", "知形", "知狀", "知利", "知行", "知情", "知價", "知命"}},
    {"11000", {"飲食", "動作", "表情", "發聲", "看視", "生理", "心理", "倫理"}},
    {"11001", {"體靜", "體動", "互動", "體態", "動腳", "動向", "動式", "動態"}},
    {"11010", {"空手", "觸物", "掌控", "尖劈", "易形", "易體", "易狀", "易位"}},
    {"11011", {"觀察", "辨認", "思維", "判斷", "理解", "識見", "意圖", "意志"}},
    {"11100", {"炊事", "潔事", "家事", "行棲", "傳承", "藝文", "農牧", "工技"}},
    {"11101", {"通知", "互通", "善意", "表達", "交往", "宣 ", "譴責", "惡意"}},
    {"11110", {"服從", "對立", "待人", "處事", "輔助", "移轉", "贈送", "交易"}},
    {"11111", {"意向", "指揮", "革除", "限制", "武力", "占有", "傷害", "殺戮"}},
};
// clang-format on

QByteArray big5(const char* utf8) {
    return toBig5(utf8).value();
}

QByteArrayList big5List(const std::vector<const char*>& utf8) {
    QByteArrayList out;
    for (const char* text : utf8)
        out.append(big5(text));
    return out;
}

// Compares the key with every key of the table in turn; the first (and only) equal one wins.
QByteArrayList lookUp(const std::vector<KeyedItems>& rows, const QByteArray& key) {
    for (const auto& row : rows)
        if (key == row.key)
            return big5List(row.items);
    return {};
}

// Level-1 and level-2 items are chosen by position, not by a table key.
const QByteArrayList& level2ItemsFor(bool firstPosition) {
    static const QByteArrayList objective = big5List({"抽象", "具象"});
    static const QByteArrayList subjective = big5List({"認識", "行為"});
    return firstPosition ? objective : subjective;
}

void clearLists(NavigatorModel& model, int fromLevel) {
    for (int level = fromLevel; level <= kNavigatorLevels; ++level) {
        model.lists[level - 1].items.clear();
        model.lists[level - 1].selected = -1;
    }
}

void fill(NavigatorModel& model, int level, const QByteArrayList& items) {
    model.lists[level - 1].items.append(items);
}

int selectedOf(const NavigatorModel& model, int level) {
    return model.lists[level - 1].selected;
}

// Digits of a position in a level of `width` binary digits, or no value outside 0..2^width-1.
std::optional<QByteArray> binaryDigits(int position, int width) {
    if (position < 0 || position >= (1 << width))
        return std::nullopt;
    QByteArray digits(width, '0');
    for (int i = 0; i < width; ++i)
        if (position & (1 << (width - 1 - i)))
            digits[i] = '1';
    return digits;
}

} // namespace

NavigatorModel::NavigatorModel() {
    lists[0].items = level1Items();
}

QByteArray levelCaption(int level) {
    const char* caption = levelCaptionUtf8(level);
    return caption ? big5(caption) : QByteArray();
}

const QByteArrayList& level1Items() {
    static const QByteArrayList items = big5List(kLevel1Items);
    return items;
}

QString levelCaptionText(int level) {
    return QString::fromUtf8(levelCaptionUtf8(level));
}

QStringList level1ItemTexts() {
    QStringList texts;
    for (const char* item : kLevel1Items)
        texts << QString::fromUtf8(item);
    return texts;
}

QByteArrayList itemsForKey(int level, const QByteArray& key) {
    switch (level) {
    case 2:
        return level2ItemsFor(key == "0");
    case 3:
        return lookUp(kLevel3Rows, key);
    case 4:
        return lookUp(kLevel4Rows, key);
    case 5:
        return lookUp(kLevel5Rows, key);
    default:
        return {};
    }
}

namespace {

// The steps of a choice at each level; chooseAtLevel has recorded the list's selection.
void chooseLevel1(NavigatorModel& model) {
    clearLists(model, 2);
    const int position = selectedOf(model, 1);
    model.LevelDigits1 = QByteArray::number(position);
    fill(model, 2, level2ItemsFor(position == 0));
}

void chooseLevel2(NavigatorModel& model) {
    clearLists(model, 3);
    model.LevelDigits2 = QByteArray::number(selectedOf(model, 2));
    fill(model, 3, lookUp(kLevel3Rows, model.LevelDigits1 + model.LevelDigits2));
}

void chooseLevel3(NavigatorModel& model) {
    clearLists(model, 4);
    model.LevelDigits3 = QByteArray::number(selectedOf(model, 3));
    fill(model, 4,
         lookUp(kLevel4Rows, model.LevelDigits1 + model.LevelDigits2 + model.LevelDigits3));
}

void chooseLevel4(NavigatorModel& model) {
    clearLists(model, 5);
    if (const auto digits = binaryDigits(selectedOf(model, 4), 2))
        model.LevelDigits4 = *digits;
    fill(model, 5,
         lookUp(kLevel5Rows,
                model.LevelDigits1 + model.LevelDigits2 + model.LevelDigits3 + model.LevelDigits4));
}

QByteArray chooseLevel5(NavigatorModel& model) {
    if (const auto digits = binaryDigits(selectedOf(model, 5), 3))
        model.LevelDigits5 = *digits;
    return model.LevelDigits1 + model.LevelDigits2 + model.LevelDigits3 + model.LevelDigits4 +
           model.LevelDigits5;
}

} // namespace

std::optional<QByteArray> chooseAtLevel(NavigatorModel& model, int level, int position) {
    if (level < 1 || level > kNavigatorLevels)
        return std::nullopt;
    model.lists[level - 1].selected = position;
    switch (level) {
    case 1:
        chooseLevel1(model);
        break;
    case 2:
        chooseLevel2(model);
        break;
    case 3:
        chooseLevel3(model);
        break;
    case 4:
        chooseLevel4(model);
        break;
    default:
        return chooseLevel5(model);
    }
    return std::nullopt;
}

} // namespace velmora
