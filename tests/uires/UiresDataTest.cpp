// The UI package's data: the keyboard picture's coordinate file against the key table, and the
// translations against every text of the layouts, the menus, the code and the sample settings file.
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMap>
#include <QRect>
#include <QRegularExpression>
#include <QSet>
#include <QTranslator>
#include <QXmlStreamReader>
#include <QtTest>

#include "kb/keys/KeyTable.h"
#include "kb/widgets/CoordButtonImage.h"

namespace {

const QString kPackage = QStringLiteral(KB_PROGRAM_DIR "/uires");
const QString kSources = QStringLiteral(KB_UIRES_SOURCE_DIR);

QRect RectOf(const KeyButton& key) {
    return QRect(QPoint(key.left, key.top), QPoint(key.right - 1, key.bottom - 1));
}

// The further cap parts that only the picture draws (the ISO Enter's top), by the name of their key.
QMap<QString, QRect> UpperParts() {
    QFile file(kPackage + QStringLiteral("/keyboard/kb_full_iso.xml"));
    file.open(QIODevice::ReadOnly);
    QXmlStreamReader xml(&file);
    QMap<QString, QRect> parts;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement || !xml.attributes().hasAttribute("upper")) {
            continue;
        }
        const QStringList f =
            xml.attributes().value(QLatin1String("upper")).toString().split(QLatin1Char(','));
        parts.insert(xml.attributes().value(QLatin1String("name")).toString(),
                     f.size() == 4 ? QRect(f[0].toInt(), f[1].toInt(), f[2].toInt(), f[3].toInt()) : QRect());
    }
    return parts;
}

// One translation source file: (context, source) -> translation, plus whatever is not finished.
struct TsFile {
    QMap<QPair<QString, QString>, QString> messages;
    QStringList problems;
};

TsFile ReadTs(const QString& path) {
    TsFile ts;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ts.problems << QStringLiteral("cannot open %1").arg(path);
        return ts;
    }
    QXmlStreamReader xml(&file);
    QString context;
    QString source;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) {
            continue;
        }
        if (xml.name() == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (xml.name() == QLatin1String("source")) {
            source = xml.readElementText();
        } else if (xml.name() == QLatin1String("translation")) {
            const QString type = xml.attributes().value(QLatin1String("type")).toString();
            const QString text = xml.readElementText();
            const auto key = qMakePair(context, source);
            if (!type.isEmpty() || text.isEmpty()) {
                ts.problems << QStringLiteral("[%1] \"%2\": %3")
                                   .arg(context, source, type.isEmpty() ? "empty" : type);
            }
            if (ts.messages.contains(key)) {
                ts.problems << QStringLiteral("[%1] \"%2\": twice").arg(context, source);
            }
            ts.messages.insert(key, text);
        }
    }
    if (xml.hasError()) {
        ts.problems << xml.errorString();
    }
    return ts;
}

// Texts the translations must hold: (context, source).
QList<QPair<QString, QString>> RequiredTexts() {
    QList<QPair<QString, QString>> texts;
    // Layout texts, with the form's class as context, unless marked untranslatable.
    const auto layouts = QDir(kSources + QStringLiteral("/layout")).entryInfoList({QStringLiteral("*.ui")});
    for (const QFileInfo& info : layouts) {
        QFile file(info.filePath());
        file.open(QIODevice::ReadOnly);
        QXmlStreamReader xml(&file);
        QString formClass;
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement) {
                continue;
            }
            if (xml.name() == QLatin1String("class") && formClass.isEmpty()) {
                formClass = xml.readElementText();
            } else if (xml.name() == QLatin1String("string") &&
                       xml.attributes().value(QLatin1String("notr")) != QLatin1String("true")) {
                const QString text = xml.readElementText();
                if (!text.isEmpty()) {
                    texts.append({formClass, text});
                }
            }
        }
    }
    // Menu items, context "menu".
    const auto menus = QDir(kSources + QStringLiteral("/menu")).entryInfoList({QStringLiteral("*.xml")});
    for (const QFileInfo& info : menus) {
        QFile file(info.filePath());
        file.open(QIODevice::ReadOnly);
        QXmlStreamReader xml(&file);
        while (!xml.atEnd()) {
            if (xml.readNext() == QXmlStreamReader::StartElement && xml.attributes().hasAttribute("text")) {
                texts.append(
                    {QStringLiteral("menu"), xml.attributes().value(QLatin1String("text")).toString()});
            }
        }
    }
    // Texts the code builds and translates with the empty context.
    for (const char* text : {"Firmware",
                             ": ",
                             "Early version",
                             "Speed",
                             "Brightness",
                             "Start record",
                             "Stop record",
                             "key down",
                             "key up",
                             "replace",
                             "Warning",
                             "Please insert USB device!",
                             "Please insert USB device",
                             "The firmware is already the latest version and no upgrade is required.",
                             "All settings will be restored, are you sure you want to continue?",
                             "Shared files (*.xml);;All files (*)",
                             "Profiles",
                             "Name of the new profile (a copy of the active one):",
                             "New profile",
                             "New name of the profile \"%1\":",
                             "Rename profile",
                             "The active profile is the only one; it cannot be deleted.",
                             "Profile to delete (the active one stays):",
                             "Delete profile",
                             "Delete the profile \"%1\"? This cannot be undone.",
                             "Export profile",
                             "The file cannot be written: %1",
                             "Import profile",
                             "The file cannot be read.",
                             "The file holds no profile.",
                             "A profile named \"%1\" exists. Replace it?",
                             "Replace the macros of the same names?",
                             "Export macro",
                             "Import macro",
                             "The file holds no macro."}) {
        texts.append({QString(), QString::fromUtf8(text)});
    }
    // Media and function key names of the sample settings file, shown in the dialog's lists.
    QFile config(QStringLiteral(KB_CONFIG_XML));
    config.open(QIODevice::ReadOnly);
    QXmlStreamReader xml(&config);
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("item")) {
            texts.append({QString(), xml.attributes().value(QLatin1String("name")).toString()});
        }
    }
    return texts;
}

bool HasChinese(const QString& text) {
    static const QRegularExpression cjk(
        QStringLiteral("[\\x{4E00}-\\x{9FFF}\\x{3000}-\\x{303F}\\x{FF00}-\\x{FFEF}]"));
    return cjk.match(text).hasMatch();
}

}  // namespace

class UiresDataTest : public QObject {
    Q_OBJECT

  private slots:
    // Every key of a full-size ISO board, once, with the key table's code and name.
    void coordinateFileMatchesKeyTable() {
        const auto keys = ReadCoordinateFile(kPackage + QStringLiteral("/keyboard/kb_full_iso.xml"));
        QCOMPARE(keys.size(), std::size_t{105});

        // Codes with a name: the first row of each code; the board has every one but K56.
        QSet<int32_t> expected;
        for (const kb::KeyTableEntry& row : kb::KeyTableRows()) {
            if (&kb::FindKeyByCode(row.KeyCode()) == &row && std::u16string_view(row.name) != u"K56") {
                expected.insert(static_cast<int32_t>(row.KeyCode()));
            }
        }
        QCOMPARE(expected.size(), 105);

        // The picture names keys as the table does, except where the table has only a placeholder.
        const QMap<int32_t, QString> renamed = {{0x56, QStringLiteral("<>")}};
        QSet<int32_t> seen;
        QSet<QString> names;
        for (const KeyButton& key : keys) {
            const QString tableName =
                QString::fromStdU16String(kb::KeyNameForCode(static_cast<uint32_t>(key.code)));
            QVERIFY2(expected.contains(key.code),
                     qPrintable(QStringLiteral("unexpected id %1").arg(key.code)));
            QVERIFY2(!seen.contains(key.code), qPrintable(QStringLiteral("id %1 twice").arg(key.code)));
            QCOMPARE(key.name, renamed.value(key.code, tableName));
            QVERIFY2(!names.contains(key.name), qPrintable(key.name));
            seen.insert(key.code);
            names.insert(key.name);
        }
    }

    // What the caps show: every key but the space bar has a legend, and no two symbol keys show the same
    // one (words such as Shift or Enter may stand on a left and a right key).
    void keyLegendsAreDistinct() {
        QFile file(kPackage + QStringLiteral("/keyboard/kb_full_iso.xml"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QXmlStreamReader xml(&file);
        QMap<QString, QString> symbols;  // legend and shifted symbol -> key name
        int keys = 0;
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement || xml.name() != QLatin1String("key")) {
                continue;
            }
            ++keys;
            const auto attrs = xml.attributes();
            const QString name = attrs.value(QLatin1String("name")).toString();
            const QString legend = attrs.value(QLatin1String("legend")).toString();
            const QString shift = attrs.value(QLatin1String("shift")).toString();
            if (name == QLatin1String("SpaceBar")) {
                continue;
            }
            QVERIFY2(!legend.isEmpty(), qPrintable(name));
            if (legend.size() > 1 && shift.isEmpty()) {
                continue;
            }
            const QString shown = shift + QLatin1Char(' ') + legend;
            QVERIFY2(
                !symbols.contains(shown),
                qPrintable(QStringLiteral("%1 and %2 both show %3").arg(symbols.value(shown), name, shown)));
            symbols.insert(shown, name);
        }
        QVERIFY(!xml.hasError());
        QCOMPARE(keys, 105);
    }

    // Keys are hit-tested by rectangle: each must be a real area of the picture, apart from the others,
    // and carry its own backlight colour.
    void keysLieInsideThePictureApart() {
        const auto keys = ReadCoordinateFile(kPackage + QStringLiteral("/keyboard/kb_full_iso.xml"));
        const QImage normal(kPackage + QStringLiteral("/img/kb_normal.png"));
        QVERIFY(!normal.isNull());
        for (const char* overlay : {"kb_hover.png", "kb_marked.png"}) {
            QCOMPARE(QImage(kPackage + QStringLiteral("/img/") + QLatin1String(overlay)).size(),
                     normal.size());
        }
        const QRect picture(QPoint(0, 0), normal.size());
        const QMap<QString, QRect> uppers = UpperParts();
        QCOMPARE(uppers.keys(), QStringList{QStringLiteral("Enter")});
        for (std::size_t i = 0; i < keys.size(); ++i) {
            const QRect rect = RectOf(keys[i]);
            // A cap's upper part joins its own key and lies apart from every other key.
            for (auto upper = uppers.cbegin(); upper != uppers.cend(); ++upper) {
                QVERIFY(picture.contains(upper.value()));
                QCOMPARE(upper.value().intersects(rect), upper.key() == keys[i].name);
            }
            QVERIFY2(rect.width() >= 20 && rect.height() >= 20, qPrintable(keys[i].name));
            QVERIFY2(picture.contains(rect), qPrintable(keys[i].name));
            QVERIFY2(keys[i].color != 0xFFFFFF, qPrintable(keys[i].name));
            for (std::size_t j = i + 1; j < keys.size(); ++j) {
                QVERIFY2(!rect.intersects(RectOf(keys[j])),
                         qPrintable(QStringLiteral("%1 overlaps %2").arg(keys[i].name, keys[j].name)));
            }
        }
    }

    void translationsAreComplete_data() {
        QTest::addColumn<QString>("file");
        QTest::newRow("english") << QStringLiteral("lang_en.ts");
        QTest::newRow("chinese") << QStringLiteral("lang_cn.ts");
    }

    // Every text of the layouts, menus, code and settings file has a finished translation.
    void translationsAreComplete() {
        QFETCH(QString, file);
        const TsFile ts = ReadTs(kSources + QStringLiteral("/i18n/") + file);
        QVERIFY2(ts.problems.isEmpty(), qPrintable(ts.problems.join(QLatin1Char('\n'))));
        QStringList missing;
        for (const auto& text : RequiredTexts()) {
            if (!ts.messages.contains(text)) {
                missing << QStringLiteral("[%1] \"%2\"").arg(text.first, text.second);
            }
        }
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join(QLatin1Char('\n'))));
    }

    // The two languages cover the same texts, and the Chinese ones are written in Chinese.
    void chineseTranslationIsChinese() {
        const TsFile en = ReadTs(kSources + QStringLiteral("/i18n/lang_en.ts"));
        const TsFile cn = ReadTs(kSources + QStringLiteral("/i18n/lang_cn.ts"));
        QCOMPARE(cn.messages.keys(), en.messages.keys());
        for (auto it = cn.messages.cbegin(); it != cn.messages.cend(); ++it) {
            QVERIFY2(HasChinese(it.value()), qPrintable(it.key().second));
        }
    }

    // The build compiled the translations into the package.
    void compiledTranslationsLoad() {
        QTranslator cn;
        QVERIFY(cn.load(kPackage + QStringLiteral("/i18n/lang_cn.qm")));
        QCOMPARE(cn.translate("", "Early version"), QStringLiteral("早期版本"));
        QCOMPARE(cn.translate("menu", "Exit"), QStringLiteral("退出"));
        QCOMPARE(cn.translate("XML_MAINWND", "Brightness"), QStringLiteral("亮度"));
        QTranslator en;
        QVERIFY(en.load(kPackage + QStringLiteral("/i18n/lang_en.qm")));
        QCOMPARE(en.translate("", "Firmware"), QStringLiteral("Firmware"));
    }
};

QTEST_GUILESS_MAIN(UiresDataTest)
#include "UiresDataTest.moc"
