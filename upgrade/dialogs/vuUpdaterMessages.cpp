#include "upgrade/dialogs/vuUpdaterMessages.h"

#include <QCoreApplication>
#include <QFile>
#include <QHash>
#include <QStringDecoder>
#include <QVariant>

namespace vu {

namespace {

QString Unescape(QStringView text) {
    QString result;
    result.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\\' && i + 1 < text.size()) {
            const QChar e = text[i + 1];
            if (e == u'r' || e == u'n' || e == u'\\') {
                result += e == u'r' ? u'\r' : e == u'n' ? u'\n' : u'\\';
                ++i;
                continue;
            }
        }
        result += c;
    }
    return result;
}

class TvuMessageTable {
public:
    TvuMessageTable() {
        strings_.insert(vuIdAppTitle, QStringLiteral("<AppTitle>"));
        strings_.insert(vuIdDesignEnvironment, QStringLiteral("Component Design Studio"));
        strings_.insert(vuIdUpdaterLabel, QStringLiteral("Updater"));
        for (int language = vuFirstLanguage; language <= vuLastLanguage; ++language) {
            const auto l = TvuUpdaterLanguage(language);
            const TvuMessageFile file = ParseMessageFile(MessageFileContent(l));
            const quint16 start = MessageBlockStart(l);
            for (auto it = file.Messages.cbegin(); it != file.Messages.cend(); ++it)
                strings_.insert(MessageId(start, it.key()), it.value());
        }
    }

    QString Get(int id) const { return strings_.value(id); }

private:
    QHash<int, QString> strings_;
};

const TvuMessageTable& Table() {
    static const TvuMessageTable table;
    return table;
}

} // namespace

QByteArray MessageFileContent(TvuUpdaterLanguage language) {
    if (language == wlAuto || !IsValidLanguage(language))
        return {};
    QFile file(QStringLiteral(":/vu/messages/%1.txt").arg(LanguageName(language)));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

TvuMessageFile ParseMessageFile(const QByteArray& content) {
    TvuMessageFile result;
    QByteArray bytes = content;
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        result.Problems << QStringLiteral("starts with a byte-order mark");
        bytes.remove(0, 3);
    }
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder(bytes);
    if (decoder.hasError())
        result.Problems << QStringLiteral("is not valid UTF-8");

    const QStringList lines = text.split(u'\n');
    int expected = 0;
    for (qsizetype n = 0; n < lines.size(); ++n) {
        QStringView line = lines[n];
        const QString where = QStringLiteral("line %1: ").arg(n + 1);
        if (line.endsWith(u'\r')) {
            result.Problems << where + QStringLiteral("ends with CR");
            line.chop(1);
        }
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        const qsizetype tab = line.indexOf(u'\t');
        bool ok = false;
        const int index = tab > 0 ? line.left(tab).toInt(&ok) : -1;
        if (!ok || index < 0 || index >= vuMessageCount) {
            result.Problems << where + QStringLiteral("is not \"index<TAB>text\" with 0 to %1")
                                           .arg(vuMessageCount - 1);
            continue;
        }
        if (result.Messages.contains(index)) {
            result.Problems << where + QStringLiteral("repeats index %1").arg(index);
            continue;
        }
        if (index != expected)
            result.Problems
                << where +
                       QStringLiteral("index %1 where %2 was expected").arg(index).arg(expected);
        expected = index + 1;
        const QString message = Unescape(line.mid(tab + 1));
        if (message.isEmpty())
            result.Problems << where + QStringLiteral("message %1 is empty").arg(index);
        if (message.contains(u'\t'))
            result.Problems << where + QStringLiteral("message %1 holds a tab").arg(index);
        result.Messages.insert(index, message);
    }
    if (result.Messages.size() != vuMessageCount)
        result.Problems << QStringLiteral("holds %1 messages instead of %2")
                               .arg(result.Messages.size())
                               .arg(vuMessageCount);
    return result;
}

QString LoadMessageString(int id) {
    return Table().Get(id);
}

QString LoadMessageText(int index) {
    // Before a language is chosen there is no block, and no text.
    return MessageBase == 0 ? QString() : LoadMessageString(MessageId(MessageBase, index));
}

QString FormatMessageText(int index, const TvuFormatArgs& args) {
    return FormatText(LoadMessageText(index), args);
}

int ShowMessageText(const QString& text, unsigned flags) {
    return vuMessageBox(text, LoadMessageText(vmCaption), flags);
}

int ShowMessageByIndex(int index, unsigned flags) {
    return ShowMessageText(LoadMessageText(index), flags);
}

QString ApplicationTitle() {
    // A graphical application has a display name (its application name unless set apart); it
    // is read as a property, so that the messages need no more than Qt Core.
    if (const QCoreApplication* app = QCoreApplication::instance()) {
        const QVariant name = app->property("applicationDisplayName");
        if (name.isValid())
            return name.toString();
    }
    return QCoreApplication::applicationName();
}

} // namespace vu
