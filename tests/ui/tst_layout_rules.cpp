// The layout rules the loader adds to Qt's: attribute names match without regard to case, and integer
// attributes take "0x" hexadecimal.

#include <QBuffer>
#include <QLabel>
#include <QSlider>
#include <QTest>
#include <memory>

#include "kb/ui/LayoutLoader.h"
#include "kb/widgets/SAnimImg.h"
#include "kb/widgets/SCheckBoxEx.h"
#include "kb/widgets/WidgetClasses.h"

using kb::ui::LayoutLoader;

namespace {

std::unique_ptr<QWidget> Load(const QByteArray& widgets) {
    QByteArray ui =
        "<?xml version='1.0' encoding='UTF-8'?><ui version='4.0'><class>Form</class>"
        "<widget class='QWidget' name='root'><layout class='QVBoxLayout' name='box'>" +
        widgets + "</layout></widget></ui>";
    QBuffer buffer(&ui);
    buffer.open(QIODevice::ReadOnly);
    LayoutLoader loader;
    kb::widgets::RegisterProgramWidgets(loader);
    return std::unique_ptr<QWidget>(loader.LoadDevice(&buffer));
}

}  // namespace

class LayoutRulesTest : public QObject {
    Q_OBJECT

  private slots:
    void namesIgnoreCase() {
        const auto form = Load(
            "<item><widget class='SCheckBoxEx' name='check'>"
            " <property name='TEXTY'><number>3</number></property>"
            " <property name='IconPos'><string>4,6</string></property>"
            " <property name='ICONSKIN'><string>icons</string></property></widget></item>"
            "<item><widget class='SAnimImg' name='anim'>"
            " <property name='Interval'><number>40</number></property></widget></item>"
            "<item><widget class='QSlider' name='slider'>"
            " <property name='MAXIMUM'><number>9</number></property>"
            " <property name='Orientation'><enum>Qt::Horizontal</enum></property></widget></item>"
            "<item><widget class='QLabel' name='label'>"
            " <property name='Text'><string>hello</string></property>"
            " <property name='role' stdset='0'><string>caption</string></property></widget></item>");
        QVERIFY(form);
        auto* check = form->findChild<SCheckBoxEx*>(QStringLiteral("check"));
        QVERIFY(check);
        QCOMPARE(check->textY(), 3);
        QCOMPARE(check->iconPos(), QStringLiteral("4,6"));
        QCOMPARE(check->iconSkin(), QStringLiteral("icons"));
        QCOMPARE(form->findChild<SAnimImg*>(QStringLiteral("anim"))->interval(), 40);
        auto* slider = form->findChild<QSlider*>(QStringLiteral("slider"));
        QCOMPARE(slider->maximum(), 9);
        QCOMPARE(slider->orientation(), Qt::Horizontal);
        auto* label = form->findChild<QLabel*>(QStringLiteral("label"));
        QCOMPARE(label->text(), QStringLiteral("hello"));
        // The layout's spelling does not linger as a property of its own; a property the class does not
        // have stays the layout's.
        QVERIFY(!check->property("TEXTY").isValid());
        QVERIFY(!label->dynamicPropertyNames().contains("Text"));
        QCOMPARE(label->property("role").toString(), QStringLiteral("caption"));
    }

    void integersTakeHexadecimal_data() {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<int>("expected");
        QTest::newRow("text 0x10") << QByteArray("<string>0x10</string>") << 16;
        QTest::newRow("number 0x10") << QByteArray("<number>0x10</number>") << 16;
        QTest::newRow("upper 0X1F") << QByteArray("<string>0X1F</string>") << 31;
        QTest::newRow("negative -0x4") << QByteArray("<string>-0x4</string>") << -4;
        QTest::newRow("decimal text") << QByteArray("<string>12</string>") << 12;
        QTest::newRow("leading zero is decimal") << QByteArray("<string>010</string>") << 10;
        QTest::newRow("plain number") << QByteArray("<number>7</number>") << 7;
    }

    void integersTakeHexadecimal() {
        QFETCH(QByteArray, value);
        QFETCH(int, expected);
        for (const char* name : {"textX", "TEXTX"}) {
            const auto form = Load("<item><widget class='SCheckBoxEx' name='check'><property name='" +
                                   QByteArray(name) + "'>" + value + "</property></widget></item>");
            QVERIFY(form);
            QCOMPARE(form->findChild<SCheckBoxEx*>(QStringLiteral("check"))->textX(), expected);
        }
        // Qt's own integer properties follow the same rule.
        const auto form = Load("<item><widget class='QSlider' name='slider'><property name='maximum'>" +
                               value + "</property></widget></item>");
        QCOMPARE(form->findChild<QSlider*>(QStringLiteral("slider"))->maximum(), expected);
    }

    void textPropertiesKeepHexText() {
        const auto form = Load(
            "<item><widget class='QLabel' name='label'><property name='text'><string>0x10</string></property>"
            "</widget></item>");
        QCOMPARE(form->findChild<QLabel*>(QStringLiteral("label"))->text(), QStringLiteral("0x10"));
    }
};

QTEST_MAIN(LayoutRulesTest)
#include "tst_layout_rules.moc"
