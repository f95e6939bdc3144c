// The program's widget classes: drawing choices, input rules and animations, time given by injected ticks.

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "kb/ui/Package.h"
#include "kb/ui/Skin.h"
#include "kb/ui/Timeline.h"
#include "kb/widgets/CoordButtonImage.h"
#include "kb/widgets/SAnimImg.h"
#include "kb/widgets/SCheckBoxEx.h"
#include "kb/widgets/SEditEx.h"
#include "kb/widgets/SRadioBoxEx.h"
#include "kb/widgets/SShellNotifyIcon.h"
#include "kb/widgets/STabCtrl2.h"
#include "kb/widgets/STabPage2.h"

using kb::ui::Skin;
using kb::ui::SkinPool;

namespace {

QColor FrameColour(int frame) {
    return QColor::fromRgba(QColor::fromHsv((frame * 37) % 360, 255, 255).rgba());
}

// `frames` frames of the given size, frame i filled with FrameColour(i).
Skin MakeSkin(int frames, QSize size) {
    QImage image(size.width() * frames, size.height(), QImage::Format_ARGB32);
    for (int f = 0; f < frames; ++f) {
        for (int x = 0; x < size.width(); ++x) {
            for (int y = 0; y < size.height(); ++y) {
                image.setPixelColor(f * size.width() + x, y, FrameColour(f));
            }
        }
    }
    return Skin(QPixmap::fromImage(image), frames);
}

void Ticks(int count) {
    for (int i = 0; i < count; ++i) {
        kb::ui::Timeline::Shared().Tick();
    }
}

void SendMouse(QWidget* widget, QEvent::Type type, QPoint pos, Qt::MouseButton button = Qt::LeftButton,
               Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    const Qt::MouseButtons buttons =
        type == QEvent::MouseButtonPress ? Qt::MouseButtons(button) : Qt::NoButton;
    QMouseEvent event(type, QPointF(pos), widget->mapToGlobal(QPointF(pos)), button, buttons, modifiers);
    QCoreApplication::sendEvent(widget, &event);
}

void Enter(QWidget* widget) {
    QEnterEvent event(QPointF(1, 1), QPointF(1, 1), widget->mapToGlobal(QPointF(1, 1)));
    QCoreApplication::sendEvent(widget, &event);
}

void Leave(QWidget* widget) {
    QEvent event(QEvent::Leave);
    QCoreApplication::sendEvent(widget, &event);
}

QColor At(const QImage& image, QPoint point) {
    return QColor::fromRgba(image.pixel(point));
}

QColor PixelOf(QWidget* widget, QPoint point) {
    return At(widget->grab().toImage(), point);
}

struct Click {
    int32_t code;
    QString name;
    int released;
    uint32_t flags;
};

class RecordingListener : public ICoordButtonClickListener {
  public:
    int OnCoordButtonClick(int32_t code, const QString& name, int released, uint32_t keyFlags, int /*x*/,
                           int /*y*/) override {
        clicks.push_back({code, name, released, keyFlags});
        return result;
    }
    std::vector<Click> clicks;
    int result = 0;
};

}  // namespace

class WidgetsTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        kb::ui::Timeline::Shared().SetTimerEnabled(false);
        auto& pool = SkinPool::Shared();
        pool.Clear();
        pool.Add(QStringLiteral("box3"), MakeSkin(3, {40, 20}));
        pool.Add(QStringLiteral("box5"), MakeSkin(5, {40, 20}));
        pool.Add(QStringLiteral("icon8"), MakeSkin(8, {16, 16}));
        pool.Add(QStringLiteral("in10"), MakeSkin(10, {24, 12}));
        pool.Add(QStringLiteral("out4"), MakeSkin(4, {24, 12}));
        pool.Add(QStringLiteral("in6"), MakeSkin(6, {16, 16}));
        pool.Add(QStringLiteral("out6"), MakeSkin(6, {16, 16}));
        pool.Add(QStringLiteral("icons4"), MakeSkin(4, {16, 16}));
        pool.Add(QStringLiteral("tab3"), MakeSkin(3, {10, 10}));
        pool.Add(QStringLiteral("red"), Skin(MakeSkin(1, {16, 16}).FramePixmap(0), 1));
        pool.Add(QStringLiteral("green"), Skin(MakeSkin(6, {16, 16}).FramePixmap(5), 1));
    }

    // ---- SCheckBoxEx / SRadioBoxEx

    void checkBoxSkinFrame_data() {
        QTest::addColumn<QString>("skin");
        QTest::addColumn<bool>("pressed");
        QTest::addColumn<bool>("hovered");
        QTest::addColumn<bool>("checked");
        QTest::addColumn<int>("frame");
        QTest::newRow("normal") << "box3" << false << false << false << 0;
        QTest::newRow("hover") << "box3" << false << true << false << 1;
        QTest::newRow("pressed") << "box3" << true << false << false << 2;
        QTest::newRow("checked: last frame") << "box3" << false << false << true << 2;
        QTest::newRow("checked of five") << "box5" << false << false << true << 4;
        QTest::newRow("checked and hovered") << "box5" << false << true << true << 1;
        QTest::newRow("checked and pressed") << "box5" << true << true << true << 2;
    }

    void checkBoxSkinFrame() {
        QFETCH(QString, skin);
        QFETCH(bool, pressed);
        QFETCH(bool, hovered);
        QFETCH(bool, checked);
        QFETCH(int, frame);
        SCheckBoxEx box;
        box.setSkin(skin);
        box.resize(box.sizeHint());
        QCOMPARE(box.sizeHint(), QSize(40, 20));
        box.setChecked(checked);
        box.setDown(pressed);
        if (hovered) {
            Enter(&box);
        }
        QCOMPARE(box.SkinFrame(), frame);
        QCOMPARE(PixelOf(&box, {38, 18}), FrameColour(frame));
        Leave(&box);
        QVERIFY(!box.IsHovered());
    }

    void checkBoxIcon_data() {
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("pressed");
        QTest::addColumn<bool>("hovered");
        QTest::addColumn<bool>("checked");
        QTest::addColumn<int>("state");
        QTest::newRow("unchecked") << true << false << false << false << 0;
        QTest::newRow("unchecked hover") << true << false << true << false << 1;
        QTest::newRow("unchecked pressed") << true << true << true << false << 2;
        QTest::newRow("unchecked disabled") << false << false << false << false << 3;
        QTest::newRow("checked") << true << false << false << true << 4;
        QTest::newRow("checked hover") << true << false << true << true << 5;
        QTest::newRow("checked pressed") << true << true << false << true << 6;
        QTest::newRow("checked disabled") << false << false << true << true << 7;
    }

    void checkBoxIcon() {
        QFETCH(bool, enabled);
        QFETCH(bool, pressed);
        QFETCH(bool, hovered);
        QFETCH(bool, checked);
        QFETCH(int, state);
        // Without a box skin the icon still shows the box's state.
        SCheckBoxEx box;
        box.setIconSkin(QStringLiteral("icon8"));
        box.setIconPos(QStringLiteral("4,6"));
        box.resize(80, 30);
        box.setChecked(checked);
        box.setDown(pressed);
        if (hovered) {
            Enter(&box);
        }
        box.setEnabled(enabled);
        QCOMPARE(box.IconState(), state);
        QCOMPARE(PixelOf(&box, {4 + 8, 6 + 8}), FrameColour(state));
        QCOMPARE(PixelOf(&box, {4, 6}), FrameColour(state));
        QVERIFY(PixelOf(&box, {3, 6}) != FrameColour(state));
    }

    void textRect_data() {
        QTest::addColumn<QString>("iconSkin");
        QTest::addColumn<QString>("iconPos");
        QTest::addColumn<int>("textX");
        QTest::addColumn<int>("textY");
        QTest::addColumn<QPoint>("topLeft");
        QTest::newRow("icon 16 at 4,6 and textX 5") << "icon8"
                                                    << "4,6" << 5 << 0 << QPoint(25, 6);
        QTest::newRow("no icon skin") << ""
                                      << "4,6" << 5 << 2 << QPoint(9, 8);
        // Read as sscanf's "%d,%d": blanks before a number are skipped, but the comma must follow the
        // first number at once.
        QTest::newRow("blanks before the numbers") << "icon8"
                                                   << " 4, 6" << 0 << 0 << QPoint(20, 6);
        QTest::newRow("blank before the comma") << ""
                                                << "4 ,6" << 0 << 0 << QPoint(4, 0);
        QTest::newRow("unreadable x") << ""
                                      << "a,5" << 0 << 0 << QPoint(0, 0);
        QTest::newRow("trailing text") << ""
                                       << "4,6px" << 0 << 0 << QPoint(4, 6);
        QTest::newRow("negative offsets") << ""
                                          << "-3,-1" << 0 << -2 << QPoint(-3, -3);
        QTest::newRow("unreadable iconPos") << ""
                                            << "x,y" << 1 << 1 << QPoint(1, 1);
        QTest::newRow("one number") << ""
                                    << "7" << 0 << 0 << QPoint(7, 0);
    }

    void textRect() {
        QFETCH(QString, iconSkin);
        QFETCH(QString, iconPos);
        QFETCH(int, textX);
        QFETCH(int, textY);
        QFETCH(QPoint, topLeft);
        SCheckBoxEx check;
        SRadioBoxEx radio;
        for (QAbstractButton* box :
             {static_cast<QAbstractButton*>(&check), static_cast<QAbstractButton*>(&radio)}) {
            box->setProperty("iconSkin", iconSkin);
            box->setProperty("iconPos", iconPos);
            box->setProperty("textX", textX);
            box->setProperty("textY", textY);
            box->resize(100, 30);
        }
        QCOMPARE(check.TextRect().topLeft(), topLeft);
        QCOMPARE(check.TextRect().bottomRight(), QPoint(99, 29));
        QCOMPARE(radio.TextRect().topLeft(), topLeft);
    }

    void skinnedBoxClicksAnywhere() {
        SCheckBoxEx check;
        check.setSkin(QStringLiteral("box3"));
        check.resize(120, 20);
        check.show();
        QTest::mouseClick(&check, Qt::LeftButton, {}, QPoint(115, 10));
        QVERIFY(check.isChecked());
        SRadioBoxEx radio;
        radio.setSkin(QStringLiteral("box3"));
        radio.setIconAlign(QStringLiteral("center"));
        radio.resize(120, 20);
        radio.show();
        QTest::mouseClick(&radio, Qt::LeftButton, {}, QPoint(115, 10));
        QVERIFY(radio.isChecked());
        QCOMPARE(radio.SkinFrame(), 2);
    }

    // ---- SEditEx

    void editEnterRaisesKeyEnter() {
        SEditEx edit;
        edit.setText(QStringLiteral("120"));
        QSignalSpy enter(&edit, &SEditEx::keyEnter);
        QSignalSpy returnPressed(&edit, &QLineEdit::returnPressed);
        QTest::keyClick(&edit, Qt::Key_Return);
        QCOMPARE(enter.count(), 1);
        QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Enter, Qt::KeypadModifier, QString(), true);
        QCoreApplication::sendEvent(&edit, &repeat);
        QCOMPARE(enter.count(), 2);
        QCOMPARE(returnPressed.count(), 0);  // the base edit never sees Enter
        QTest::keyClick(&edit, Qt::Key_5);
        QCOMPARE(edit.text(), QStringLiteral("1205"));
        QCOMPARE(enter.count(), 2);
    }

    void editMouseRules() {
        QWidget parent;
        auto* edit = new SEditEx(&parent);
        edit->setText(QStringLiteral("hello world"));
        edit->resize(200, 24);
        parent.show();
        edit->setCursorPosition(0);
        QTest::mouseClick(edit, Qt::LeftButton, {}, QPoint(190, 12));
        QCOMPARE(edit->cursorPosition(), 0);  // no caret placement by mouse
        QCOMPARE(edit->selectedText(), QString());
        // Neither a drag with the button held nor a double click selects.
        QMouseEvent drag(QEvent::MouseMove, QPointF(190, 12), edit->mapToGlobal(QPointF(190, 12)),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(edit, &drag);
        QCOMPARE(edit->selectedText(), QString());
        SendMouse(edit, QEvent::MouseButtonDblClick, {40, 12});
        QCOMPARE(edit->selectedText(), QString());
        QCOMPARE(edit->cursorPosition(), 0);

        edit->setEnabled(false);
        SendMouse(edit, QEvent::MouseButtonPress, {10, 10});
        QVERIFY(edit->isEnabled());

        // Disabled through its parent only: the edit's own flag is not set, so it stays disabled.
        parent.setEnabled(false);
        SendMouse(edit, QEvent::MouseButtonRelease, {10, 10});
        QVERIFY(!edit->isEnabled());
        parent.setEnabled(true);
        QVERIFY(edit->isEnabled());
    }

    // ---- SAnimImg

    void animAutorun() {
        SAnimImg img;
        img.setAniIn(QStringLiteral("in10"));
        img.setAutorun(3);
        QVERIFY(img.AutorunPending());
        // The countdown also runs during the tick that ends a play, so later waits are one tick shorter.
        for (const int wait : {300, 299, 299}) {
            Ticks(wait - 1);
            QCOMPARE(img.State(), int(SAnimImg::Idle));
            QCOMPARE(img.ShownFrame().second, 0);
            Ticks(1);  // 3 s
            QCOMPARE(img.State(), int(SAnimImg::PlayingIn));
            QCOMPARE(img.Frame(), 0);
            QVERIFY(!img.AutorunPending());
            Ticks(45);  // 9 frames at 50 ms
            QCOMPARE(img.Frame(), 9);
            Ticks(4);
            QCOMPARE(img.State(), int(SAnimImg::PlayingIn));
            Ticks(1);  // half a second after it began
            QCOMPARE(img.State(), int(SAnimImg::Idle));
            QVERIFY(img.AutorunPending());
        }
    }

    void animAutorunZeroRepeats() {
        SAnimImg img;
        img.setAniIn(QStringLiteral("in10"));
        img.setInterval(10);
        img.setAutorun(0);
        Ticks(1);
        QCOMPARE(img.State(), int(SAnimImg::PlayingIn));
        Ticks(9);
        QCOMPARE(img.Frame(), 9);
        Ticks(1);  // the play ends and, with "autorun" 0, the next one begins in the same tick
        QCOMPARE(img.State(), int(SAnimImg::PlayingIn));
        QCOMPARE(img.Frame(), 0);
        Ticks(9);
        QCOMPARE(img.Frame(), 9);
    }

    void animHoverWithoutOut() {
        SAnimImg img;
        img.setAniIn(QStringLiteral("in10"));
        Enter(&img);
        QCOMPARE(img.State(), int(SAnimImg::PlayingIn));
        QCOMPARE(img.HoverCount(), 1);
        Ticks(45);
        QCOMPARE(img.Frame(), 9);
        Leave(&img);
        Ticks(200);
        QCOMPARE(img.State(), int(SAnimImg::PlayingIn));  // the last frame of "ani_in" stays
        QCOMPARE(img.ShownFrame().first, SkinPool::Shared().Find(QStringLiteral("in10")).get());
        QCOMPARE(img.ShownFrame().second, 9);
    }

    void animHoverThenOut() {
        SAnimImg img;
        img.setAniIn(QStringLiteral("in10"));
        img.setAniOut(QStringLiteral("out4"));
        const Skin* out = SkinPool::Shared().Find(QStringLiteral("out4")).get();
        Enter(&img);
        Enter(&img);
        Leave(&img);
        Ticks(60);
        QCOMPARE(img.State(), int(SAnimImg::PlayingIn));  // still one entry more than leaves
        QCOMPARE(img.Frame(), 9);
        Leave(&img);
        Ticks(5);
        QCOMPARE(img.State(), int(SAnimImg::PlayingOut));
        QCOMPARE(img.ShownFrame(), std::make_pair(out, 0));
        QList<int> frames;
        for (int i = 0; i < 3; ++i) {
            Ticks(5);
            frames << img.Frame();
        }
        QCOMPARE(frames, (QList<int>{1, 2, 3}));
        Ticks(5);
        QCOMPARE(img.State(), int(SAnimImg::Idle));
        QCOMPARE(img.ShownFrame().second, 0);
        QVERIFY(img.ShownFrame().first != out);
    }

    // The shared 10 ms timer runs only while an image animates: waiting for its autorun, holding its last
    // frame under the pointer or resting, it leaves the window asleep.
    void animIdleStopsTheTimer() {
        kb::ui::Timeline& timeline = kb::ui::Timeline::Shared();
        timeline.SetTimerEnabled(true);
        {
            SAnimImg img;
            img.setAniIn(QStringLiteral("in10"));
            img.setAniOut(QStringLiteral("out4"));
            QVERIFY(!timeline.IsTimerRunning());
            Enter(&img);
            QVERIFY(timeline.IsTimerRunning());
            Ticks(60);
            QCOMPARE(img.Frame(), 9);
            QVERIFY(!timeline.IsTimerRunning());  // holding the last frame under the pointer
            Leave(&img);
            QVERIFY(timeline.IsTimerRunning());
            Ticks(30);
            QCOMPARE(img.State(), int(SAnimImg::Idle));
            QVERIFY(!timeline.IsTimerRunning());

            img.setAutorun(1);  // waits its second on one timer, then plays on ticks
            QVERIFY(!timeline.IsTimerRunning());
            QTRY_VERIFY_WITH_TIMEOUT(timeline.IsTimerRunning(), 3000);
            Ticks(1);
            QCOMPARE(img.State(), int(SAnimImg::PlayingIn));
        }
        QVERIFY(!timeline.IsTimerRunning());
        timeline.SetTimerEnabled(false);
    }

    void animWithoutIn() {
        SAnimImg img;
        QCOMPARE(img.sizeHint(), QSize(0, 0));
        Enter(&img);
        Ticks(100);
        QCOMPARE(img.ShownFrame().first, nullptr);
        img.setAniIn(QStringLiteral("in10"));
        QCOMPARE(img.sizeHint(), QSize(24, 12));
    }

    // ---- STabCtrl2

    void tabHoverAnimation() {
        STabCtrl2 tabs;
        auto* animated = new STabPage2;
        animated->setAniIn(QStringLiteral("in6"));
        animated->setAniOut(QStringLiteral("out6"));
        auto* plain = new QWidget;
        auto* still = new STabPage2;
        still->setIconIndex(3);
        tabs.addTab(animated, QStringLiteral("Macro"));
        tabs.addTab(plain, QStringLiteral("Single key"));
        tabs.addTab(still, QStringLiteral("Media key"));
        const Skin* in = animated->AniInSkin();
        const Skin* out = animated->AniOutSkin();
        QVERIFY(in && out);

        QCOMPARE(tabs.HeaderIcon(0).first, nullptr);  // no iconSkin: no icon, no animation
        tabs.setIconSkin(QStringLiteral("icons4"));
        const Skin* icons = SkinPool::Shared().Find(QStringLiteral("icons4")).get();

        tabs.OnTabItemHover(0);
        QList<int> shown{tabs.HeaderIcon(0).second};
        for (int i = 0; i < 7; ++i) {
            Ticks(5);
            QCOMPARE(tabs.HeaderIcon(0).first, in);
            shown << tabs.HeaderIcon(0).second;
        }
        QCOMPARE(shown, (QList<int>{0, 1, 2, 3, 4, 5, 5, 5}));

        tabs.OnTabItemLeave(0);
        shown = {tabs.HeaderIcon(0).second};
        for (int i = 0; i < 4; ++i) {
            Ticks(5);
            QCOMPARE(tabs.HeaderIcon(0).first, out);
            shown << tabs.HeaderIcon(0).second;
        }
        QCOMPARE(shown, (QList<int>{0, 1, 2, 3, 4}));
        Ticks(5);
        QCOMPARE(tabs.HeaderIcon(0), std::make_pair(icons, 0));  // the static icon returns
        QCOMPARE(animated->animState, int(STabPage2::None));

        // Pages of the base class and pages without animation skins show their static icon.
        tabs.OnTabItemHover(1);
        tabs.OnTabItemHover(2);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(tabs.HeaderIcon(1), std::make_pair(icons, 1));
            QCOMPARE(tabs.HeaderIcon(2), std::make_pair(icons, 3));
            Ticks(5);
        }
        QCOMPARE(still->animState, int(STabPage2::None));

        // Entering again restarts from frame 0.
        tabs.OnTabItemHover(0);
        Ticks(15);
        tabs.OnTabItemHover(0);
        QCOMPARE(tabs.HeaderIcon(0), std::make_pair(in, 0));
    }

    void tabIdleStopsTheTimer() {
        kb::ui::Timeline& timeline = kb::ui::Timeline::Shared();
        timeline.SetTimerEnabled(true);
        {
            STabCtrl2 tabs;
            auto* animated = new STabPage2;
            animated->setAniIn(QStringLiteral("in6"));
            animated->setAniOut(QStringLiteral("out6"));
            tabs.addTab(animated, QStringLiteral("Macro"));
            QVERIFY(!timeline.IsTimerRunning());
            tabs.OnTabItemHover(0);
            QVERIFY(timeline.IsTimerRunning());
            Ticks(40);
            QVERIFY(!timeline.IsTimerRunning());  // the last frame held under the pointer
            tabs.OnTabItemLeave(0);
            QVERIFY(timeline.IsTimerRunning());
            Ticks(40);
            QCOMPARE(animated->animState, int(STabPage2::None));
            QVERIFY(!timeline.IsTimerRunning());
        }
        timeline.SetTimerEnabled(false);
    }

    void tabBarReportsHover() {
        STabCtrl2 tabs;
        auto* first = new STabPage2;
        first->setAniIn(QStringLiteral("in6"));
        tabs.addTab(first, QStringLiteral("One"));
        tabs.addTab(new STabPage2, QStringLiteral("Two"));
        tabs.setTabSkin(QStringLiteral("tab3"));
        tabs.setIconSkin(QStringLiteral("icons4"));
        tabs.setIconX(4);
        tabs.setIconY(2);
        tabs.setTabWidth(60);
        tabs.setTabHeight(24);
        tabs.resize(300, 200);
        tabs.show();
        QTabBar* bar = tabs.tabBar();
        QCOMPARE(bar->tabRect(1).size(), QSize(60, 24));

        SendMouse(bar, QEvent::MouseMove, bar->tabRect(1).center(), Qt::NoButton);
        QCOMPARE(tabs.HoveredTab(), 1);
        QCOMPARE(tabs.HeaderState(0), 2);
        QCOMPARE(tabs.HeaderState(1), 1);
        const QPoint iconPoint = bar->tabRect(1).topLeft() + QPoint(4 + 8, 2 + 8);
        QCOMPARE(At(bar->grab().toImage(), iconPoint), FrameColour(1));  // tab index as icon frame
        const QPoint skinPoint = bar->tabRect(1).bottomRight() - QPoint(1, 1);
        QCOMPARE(At(bar->grab().toImage(), skinPoint), FrameColour(1));  // hover frame of tabSkin

        SendMouse(bar, QEvent::MouseMove, bar->tabRect(0).center(), Qt::NoButton);
        QCOMPARE(tabs.HoveredTab(), 0);
        QCOMPARE(first->animState, int(STabPage2::In));
        Leave(bar);
        QCOMPARE(tabs.HoveredTab(), -1);
        QCOMPARE(first->animState, int(STabPage2::Out));
    }

    void tabHoverFollowsRemovedAndInsertedTabs() {
        STabCtrl2 tabs;
        QList<STabPage2*> pages;
        for (const char* title : {"A", "B", "C"}) {
            auto* page = new STabPage2;
            page->setAniIn(QStringLiteral("in6"));
            page->setAniOut(QStringLiteral("out6"));
            tabs.addTab(page, QString::fromLatin1(title));
            pages << page;
        }
        tabs.resize(300, 200);
        tabs.show();
        QTabBar* bar = tabs.tabBar();
        const auto hover = [&](int index) {
            SendMouse(bar, QEvent::MouseMove, bar->tabRect(index).center(), Qt::NoButton);
        };

        hover(2);
        tabs.removeTab(0);  // the hovered page moves to index 1 and stays hovered
        QCOMPARE(tabs.HoveredTab(), 1);
        tabs.insertTab(0, pages[0], QStringLiteral("A"));
        QCOMPARE(tabs.HoveredTab(), 2);

        hover(0);
        tabs.removeTab(0);  // the hovered tab itself goes: forgotten
        QCOMPARE(tabs.HoveredTab(), -1);
        pages[1]->animState = STabPage2::None;
        hover(1);  // page C; page B, now at the old index 0, was never entered
        QCOMPARE(pages[1]->animState, int(STabPage2::None));
        QCOMPARE(pages[2]->animState, int(STabPage2::In));
        delete pages[0];
    }

    // ---- CoordButtonImage

    void coordinateParsing_data() {
        QTest::addColumn<QByteArray>("attributes");
        QTest::addColumn<QList<int>>("expected");  // code, value, left, top, right, bottom, colour
        QTest::newRow("rect with spaces")
            << QByteArray("id='30' va='4' rect='10, 20, 30, 40' color='#FF 00 00'")
            << QList<int>{30, 4, 10, 20, 40, 60, 0xFF0000};
        QTest::newRow("nothing given") << QByteArray("") << QList<int>{-1, -1, 0, 0, 0, 0, 0xFFFFFF};
        QTest::newRow("unreadable colour")
            << QByteArray("color='zz'") << QList<int>{-1, -1, 0, 0, 0, 0, 0xFFFFFF};
        QTest::newRow("colour without #")
            << QByteArray("color='2a2d33'") << QList<int>{-1, -1, 0, 0, 0, 0, 0x2A2D33};
        QTest::newRow("id no number")
            << QByteArray("id='abc' va='0x10'") << QList<int>{0, 0, 0, 0, 0, 0, 0xFFFFFF};
        QTest::newRow("E0 key code") << QByteArray("id='65565'")
                                     << QList<int>{65565, -1, 0, 0, 0, 0, 0xFFFFFF};
        QTest::newRow("two numbers") << QByteArray("rect='1,2'") << QList<int>{-1, -1, 1, 2, 1, 2, 0xFFFFFF};
        QTest::newRow("junk field") << QByteArray("rect='5,x,7,8'")
                                    << QList<int>{-1, -1, 5, 0, 12, 8, 0xFFFFFF};
        QTest::newRow("overflow") << QByteArray("rect='2147483647,-2147483648,10,-10'")
                                  << QList<int>{-1,         -1,
                                                2147483647, -2147483647 - 1,
                                                2147483647, -2147483647 - 1,
                                                0xFFFFFF};
    }

    void coordinateParsing() {
        QFETCH(QByteArray, attributes);
        QFETCH(QList<int>, expected);
        const QByteArray xml = "<positions><key " + attributes + " name='Esc'/></positions>";
        const auto keys =
            ParseCoordinates(std::string_view(xml.constData(), static_cast<std::size_t>(xml.size())));
        QCOMPARE(keys.size(), std::size_t{1});
        const KeyButton& k = keys[0];
        QCOMPARE((QList<int>{k.code, k.value, k.left, k.top, k.right, k.bottom, static_cast<int>(k.color)}),
                 expected);
        QCOMPARE(k.name, QStringLiteral("Esc"));
        QVERIFY(!k.marked && !k.hover && !k.pressed && k.label.isEmpty());
    }

    void coordinateDocuments_data() {
        QTest::addColumn<QByteArray>("xml");
        QTest::addColumn<int>("keys");
        QTest::newRow("any element names, comments skipped")
            << QByteArray("<positions><a id='1'/><!-- x --><b id='2'>text<c id='9'/></b></positions>") << 2;
        QTest::newRow("other root") << QByteArray("<keys><a id='1'/></keys>") << 0;
        QTest::newRow("truncated") << QByteArray("<positions><a id='1'/><b id=") << 0;
        QTest::newRow("empty") << QByteArray("") << 0;
        QTest::newRow("binary") << QByteArray("\x00\xff\xfe<positions>", 14) << 0;
    }

    void coordinateDocuments() {
        QFETCH(QByteArray, xml);
        QFETCH(int, keys);
        QCOMPARE(
            ParseCoordinates(std::string_view(xml.constData(), static_cast<std::size_t>(xml.size()))).size(),
            static_cast<std::size_t>(keys));
    }

    void coordinateFilePath() {
        QTemporaryDir dir;
        QDir(dir.path()).mkpath(QStringLiteral("uires/keyboard"));
        QFile file(dir.filePath(QStringLiteral("uires/keyboard/kb.xml")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("<positions><key id='30' rect='0,0,10,10'/></positions>");
        file.close();
        kb::ui::SetProgramFolder(dir.path());
        for (const QString& value :
             {QStringLiteral("uires/keyboard/kb.xml"), QStringLiteral("/uires/keyboard/kb.xml"),
              QStringLiteral("\\uires\\keyboard\\kb.xml")}) {
            CoordButtonImage image;
            image.setCrdxml(value);
            QCOMPARE(image.Keys().size(), std::size_t{1});
        }
        CoordButtonImage missing;
        missing.setCrdxml(QStringLiteral("uires/keyboard/none.xml"));
        QVERIFY(missing.Keys().empty());
        kb::ui::SetProgramFolder(QString());
    }

    void hitTestingAndClicks() {
        CoordButtonImage image;
        image.resize(200, 100);
        const QByteArray xml =
            "<positions><k id='1' name='A' rect='10,20,30,40'/><k id='2' name='B' "
            "rect='100,20,30,40'/></positions>";
        image.SetKeys(
            ParseCoordinates(std::string_view(xml.constData(), static_cast<std::size_t>(xml.size()))));
        RecordingListener listener;
        image.SetListener(&listener);

        // Left and top edges are inside, right and bottom edges outside.
        SendMouse(&image, QEvent::MouseButtonPress, {40, 30});
        SendMouse(&image, QEvent::MouseButtonPress, {10, 60});
        QVERIFY(listener.clicks.empty());
        SendMouse(&image, QEvent::MouseButtonPress, {10, 20}, Qt::LeftButton, Qt::ShiftModifier);
        SendMouse(&image, QEvent::MouseButtonRelease, {39, 59});
        QCOMPARE(listener.clicks.size(), std::size_t{2});
        QCOMPARE(listener.clicks[0].code, 1);
        QCOMPARE(listener.clicks[0].name, QStringLiteral("A"));
        QCOMPARE(listener.clicks[0].released, 0);
        QCOMPARE(listener.clicks[0].flags, 0x1u | 0x4u);
        QCOMPARE(listener.clicks[1].released, 1);

        // Press on A, release on B: only the press is reported; A stays pressed, B is cleared.
        listener.clicks.clear();
        SendMouse(&image, QEvent::MouseButtonPress, {15, 25});
        SendMouse(&image, QEvent::MouseButtonRelease, {105, 25});
        QCOMPARE(listener.clicks.size(), std::size_t{1});
        KeyButton a, b;
        QVERIFY(image.GetButton(1, a) && image.GetButton(2, b));
        QVERIFY(a.pressed);
        QVERIFY(!b.pressed);
        // A later release over A alone reports A's release.
        SendMouse(&image, QEvent::MouseButtonRelease, {15, 25});
        QCOMPARE(listener.clicks.size(), std::size_t{2});
        QCOMPARE(listener.clicks[1].code, 1);
        QCOMPARE(listener.clicks[1].released, 1);
        QVERIFY(image.GetButton(1, a) && !a.pressed);
        QVERIFY(!image.GetButton(3, a));

        // Other buttons report nothing.
        SendMouse(&image, QEvent::MouseButtonPress, {15, 25}, Qt::RightButton);
        QCOMPARE(listener.clicks.size(), std::size_t{2});
    }

    void marking_data() {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("listenerResult");
        QTest::addColumn<QList<bool>>(
            "after");  // marks of keys 1, 2, 3 after: 3 marked, press 1, press 2, press 2
        QTest::newRow("single") << 1 << 0
                                << QList<bool>{false, true, false};  // a second press keeps it marked
        QTest::newRow("multiple") << 2 << 0 << QList<bool>{true, false, true};
        QTest::newRow("none") << 0 << 0 << QList<bool>{false, false, true};
        QTest::newRow("other value") << 7 << 0 << QList<bool>{false, false, true};
        QTest::newRow("listener keeps marks") << 1 << 1 << QList<bool>{false, false, true};
    }

    void marking() {
        QFETCH(int, type);
        QFETCH(int, listenerResult);
        QFETCH(QList<bool>, after);
        CoordButtonImage image;
        const QByteArray xml =
            "<positions><k id='1' rect='0,0,10,10'/><k id='2' rect='20,0,10,10'/><k id='3' "
            "rect='40,0,10,10'/>"
            "</positions>";
        image.SetKeys(
            ParseCoordinates(std::string_view(xml.constData(), static_cast<std::size_t>(xml.size()))));
        image.setType(type);
        RecordingListener listener;
        listener.result = listenerResult;
        image.SetListener(&listener);
        image.SetMarked(3, true);
        for (QPoint p : {QPoint(5, 5), QPoint(25, 5), QPoint(25, 5)}) {
            image.LeftButtonDown(p, 1);
            image.LeftButtonUp(p, 0);
        }
        QList<bool> marks;
        for (const KeyButton& key : image.Keys()) {
            marks << key.marked;
        }
        QCOMPARE(marks, after);
    }

    void hoverTooltipsAndOverlaps() {
        CoordButtonImage image;
        image.resize(100, 100);
        const QByteArray xml =
            "<positions><k id='1' name='A' rect='0,0,20,20'/><k id='2' name='B' "
            "rect='10,10,20,20'/></positions>";
        image.SetKeys(
            ParseCoordinates(std::string_view(xml.constData(), static_cast<std::size_t>(xml.size()))));
        RecordingListener listener;
        image.SetListener(&listener);

        SendMouse(&image, QEvent::MouseMove, {15, 15}, Qt::NoButton);
        QVERIFY(image.Keys()[0].hover && image.Keys()[1].hover);
        QCOMPARE(image.toolTip(), QStringLiteral("B"));  // the later key
        image.SetLabel(2, QStringLiteral("Macro 1"));
        image.MouseMovedTo({15, 15});
        QCOMPARE(image.toolTip(), QStringLiteral("Macro 1"));  // label before name
        image.MouseMovedTo({5, 5});
        QCOMPARE(image.toolTip(), QStringLiteral("A"));
        QVERIFY(!image.Keys()[1].hover);
        image.MouseMovedTo({80, 80});
        QCOMPARE(image.toolTip(), QString());
        image.MouseMovedTo({15, 15});
        Leave(&image);
        QVERIFY(!image.Keys()[0].hover && !image.Keys()[1].hover);
        QCOMPARE(image.toolTip(), QString());

        image.LeftButtonDown({15, 15}, 1);  // the click goes to the earlier key
        QCOMPARE(listener.clicks.size(), std::size_t{1});
        QCOMPARE(listener.clicks[0].code, 1);
    }

    void ownerOperations() {
        CoordButtonImage image;
        const QByteArray xml =
            "<positions><k id='5' rect='0,0,1,1'/><k id='5' rect='0,0,1,1'/><k id='6' "
            "rect='0,0,1,1'/></positions>";
        image.SetKeys(
            ParseCoordinates(std::string_view(xml.constData(), static_cast<std::size_t>(xml.size()))));
        auto marks = [&image] {
            QList<bool> m;
            for (const KeyButton& key : image.Keys()) {
                m << key.marked;
            }
            return m;
        };
        image.SetMarked(5, true);
        QCOMPARE(marks(), (QList<bool>{true, false, false}));  // the first key with the code only
        image.SetMarked(CoordButtonImage::kAllKeys, true);
        QCOMPARE(marks(), (QList<bool>{true, true, true}));
        image.ToggleMarked(6);
        QCOMPARE(marks(), (QList<bool>{true, true, false}));
        image.SetMarked(CoordButtonImage::kAllKeys, false);
        QCOMPARE(marks(), (QList<bool>{false, false, false}));
        image.ToggleMarked(CoordButtonImage::kAllKeys);
        QCOMPARE(marks(), (QList<bool>{true, true, true}));
        image.SetMarked(99, false);  // no such key: nothing changes
        QCOMPARE(marks(), (QList<bool>{true, true, true}));
        image.SetLabel(CoordButtonImage::kAllKeys, QStringLiteral("x"));
        QCOMPARE(image.Keys()[2].label, QStringLiteral("x"));
    }

    // Without a mouse: one tab stop, arrows move by position, Enter and Space click, the focus is drawn
    // and announced.
    void keyboardFocusMovesByPosition() {
        QWidget window;
        auto* before = new QPushButton(QStringLiteral("before"), &window);
        auto* image = new CoordButtonImage(&window);
        auto* after = new QPushButton(QStringLiteral("after"), &window);
        image->setGeometry(0, 30, 60, 40);
        before->move(0, 0);
        after->move(0, 80);
        // Top row A B C, a staggered row D E (E wide), a space bar; A comes late in the file.
        const QByteArray xml =
            "<positions><k id='2' name='B' rect='10,0,10,10'/><k id='3' name='C' rect='20,0,10,10'/>"
            "<k id='4' name='D' rect='5,10,10,10'/><k id='5' name='E' rect='15,10,20,10'/>"
            "<k id='6' name='Space' rect='0,20,30,10'/><k id='1' name='A' rect='0,0,10,10'/>"
            "<k id='7' name='hidden'/></positions>";
        image->SetKeys(
            ParseCoordinates(std::string_view(xml.constData(), static_cast<std::size_t>(xml.size()))));
        RecordingListener listener;
        image->SetListener(&listener);
        window.show();
        QApplication::setActiveWindow(&window);
        QVERIFY(QTest::qWaitForWindowActive(&window));
        before->setFocus();
        const QColor unfocused = PixelOf(image, {1, 5});

        QTest::keyClick(&window, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), image);
        auto name = [&] { return image->Keys()[static_cast<std::size_t>(image->FocusedKey())].name; };
        QCOMPARE(name(), QStringLiteral("A"));  // reading order, not file order
        QVERIFY(PixelOf(image, {1, 5}) != unfocused);

        struct Move {
            Qt::Key key;
            const char* to;
        };
        const Move moves[] = {{Qt::Key_Right, "B"},    {Qt::Key_Right, "C"}, {Qt::Key_Right, "C"},
                              {Qt::Key_Down, "E"},     {Qt::Key_Left, "D"},  {Qt::Key_Left, "D"},
                              {Qt::Key_Down, "Space"}, {Qt::Key_Up, "E"},    {Qt::Key_Right, "E"},
                              {Qt::Key_Up, "C"}};
        for (const Move& move : moves) {
            QTest::keyClick(QApplication::focusWidget(), move.key);
            QCOMPARE(QApplication::focusWidget(), image);
            QCOMPARE(name(), QString::fromLatin1(move.to));
        }

        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(image);
        QVERIFY(iface != nullptr && iface->focusChild() != nullptr);
        QCOMPARE(iface->focusChild()->text(QAccessible::Name), QStringLiteral("C"));
        QVERIFY(iface->focusChild()->state().focused);

        QTest::keyClick(image, Qt::Key_Return);
        QTest::keyClick(image, Qt::Key_Space);
        QCOMPARE(listener.clicks.size(), std::size_t{4});
        for (std::size_t i = 0; i < 4; ++i) {
            QCOMPARE(listener.clicks[i].code, 3);
            QCOMPARE(listener.clicks[i].released, int(i % 2));
        }

        QTest::keyClick(image, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), after);                // one tab stop, not one per key
        QCOMPARE(PixelOf(image, {21, 5}), PixelOf(image, {25, 5}));  // no ring without the focus
        QTest::keyClick(after, Qt::Key_Backtab);
        QCOMPARE(name(), QStringLiteral("C"));  // back where it was
    }

    void keyColoursArePainted() {
        CoordButtonImage image;
        image.resize(50, 20);
        const QByteArray xml =
            "<positions><k id='1' rect='0,0,10,10' color='#FF0000'/><k id='2' "
            "rect='20,0,10,10'/></positions>";
        image.SetKeys(
            ParseCoordinates(std::string_view(xml.constData(), static_cast<std::size_t>(xml.size()))));
        const QImage shot = image.grab().toImage();
        QCOMPARE(At(shot, {9, 9}), QColor(Qt::red));
        QCOMPARE(At(shot, {25, 5}), QColor(Qt::white));
    }

    // ---- SShellNotifyIcon

    void trayTip_data() {
        QTest::addColumn<QString>("tip");
        QTest::addColumn<int>("kept");
        const QString pair = QString::fromUtf8("\xF0\x9F\x8E\xB9");  // one character, two UTF-16 units
        QTest::newRow("126") << QString(126, u'k') << 126;
        QTest::newRow("127") << QString(127, u'k') << 127;
        QTest::newRow("128") << QString(128, u'k') << 127;
        QTest::newRow("300") << QString(300, u'k') << 127;
        QTest::newRow("pair ending at 127") << QString(125, u'k') + pair + u'k' << 127;
        QTest::newRow("pair across the cut") << QString(126, u'k') + pair << 126;
        QTest::newRow("pair across the cut, more after") << QString(126, u'k') + pair + pair << 126;
    }

    void trayTip() {
        QFETCH(QString, tip);
        QFETCH(int, kept);
        SShellNotifyIcon tray;
        tray.setTip(tip);
        QCOMPARE(tray.tip(), tip.left(kept));
        QVERIFY(!tray.tip().back().isHighSurrogate());
        tray.setTip(QString());  // an empty tip is ignored
        QCOMPARE(tray.tip().size(), kept);
    }

    void trayIconsAndMenuKinds() {
        QTemporaryDir dir;
        kb::ui::SetPackageFolder(dir.path());
        QDir(dir.path()).mkpath(QStringLiteral("menu"));
        const std::pair<const char*, const char*> files[] = {
            {"menu/classic.xml", "<menu><item id='6' text='Exit'/></menu>"},
            {"menu/ext.xml", "<menuRoot><item id='6' text='Exit'/></menuRoot>"},
            {"menu/other.xml", "<list/>"}};
        for (const auto& [name, text] : files) {
            QFile f(dir.filePath(QLatin1String(name)));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(text);
        }
        SShellNotifyIcon tray;
        QCOMPARE(tray.MenuKindOf(), kb::ui::MenuKind::None);
        tray.setMenu(QStringLiteral("ext"));
        QCOMPARE(tray.MenuKindOf(), kb::ui::MenuKind::Extended);
        tray.setMenu(QStringLiteral("absent"));  // does not load: nothing changes
        QCOMPARE(tray.MenuKindOf(), kb::ui::MenuKind::Extended);
        QCOMPARE(tray.menu(), QStringLiteral("ext"));
        tray.setMenu(QStringLiteral("classic"));
        QCOMPARE(tray.MenuKindOf(), kb::ui::MenuKind::Classic);
        tray.setMenu(QStringLiteral("other"));
        QCOMPARE(tray.MenuKindOf(), kb::ui::MenuKind::None);
        QCOMPARE(tray.menu(), QString());
        kb::ui::SetPackageFolder(QString());

        tray.setIco(QStringLiteral("red;nothing;green"));
        QCOMPARE(tray.IconCount(), 2);
        for (int index : {5, -1, 0}) {
            tray.setDeficoidx(index);
            QCOMPARE(At(tray.CurrentIcon().pixmap(16, 16).toImage(), {8, 8}), FrameColour(0));
        }
        tray.setDeficoidx(1);
        QCOMPARE(At(tray.CurrentIcon().pixmap(16, 16).toImage(), {8, 8}), FrameColour(5));
        tray.Install();
        tray.setDeficoidx(-4);
        QCOMPARE(At(tray.CurrentIcon().pixmap(16, 16).toImage(), {8, 8}), FrameColour(0));
    }

    void trayClicks() {
        QWidget window;
        auto* tray = new SShellNotifyIcon(&window);
        window.show();
        QList<int> offered;
        bool take = true;
        tray->SetClickFilter([&](int code) {
            offered << code;
            return take;
        });
        tray->HandleClick(SShellNotifyIcon::kLeftButtonUp);
        QVERIFY(window.isVisible());  // the window took it
        take = false;
        tray->HandleClick(SShellNotifyIcon::kLeftButtonUp);
        QVERIFY(!window.isVisible());
        tray->HandleClick(SShellNotifyIcon::kLeftButtonUp);
        QVERIFY(window.isVisible());
        tray->HandleClick(SShellNotifyIcon::kRightButtonUp);  // no menu: nothing shown
        tray->HandleClick(513);
        QVERIFY(window.isVisible());
        QCOMPARE(offered, (QList<int>{514, 514, 514, 516, 513}));
    }
};

QTEST_MAIN(WidgetsTest)
#include "tst_widgets.moc"
