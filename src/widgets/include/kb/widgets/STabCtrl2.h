// A tab widget with a skinned header row: a background behind the headers, a skin per header state, an
// icon per tab and the hover animation of STabPage2 pages.
#pragma once

#include <QColor>
#include <QTabWidget>
#include <memory>
#include <utility>

namespace kb::ui {
class Skin;
}
class STabPage2;

class STabCtrl2 : public QTabWidget {
    Q_OBJECT
    Q_PROPERTY(QString tabHeadBgSkin READ tabHeadBgSkin WRITE setTabHeadBgSkin)
    Q_PROPERTY(QString tabSkin READ tabSkin WRITE setTabSkin)
    Q_PROPERTY(QString iconSkin READ iconSkin WRITE setIconSkin)
    Q_PROPERTY(int iconX READ iconX WRITE setIconX)
    Q_PROPERTY(int iconY READ iconY WRITE setIconY)
    Q_PROPERTY(int textX READ textX WRITE setTextX)
    Q_PROPERTY(int textY READ textY WRITE setTextY)
    Q_PROPERTY(int tabWidth READ tabWidth WRITE setTabWidth)
    Q_PROPERTY(int tabHeight READ tabHeight WRITE setTabHeight)
    Q_PROPERTY(QColor selectedTextColor READ selectedTextColor WRITE setSelectedTextColor)
  public:
    static constexpr const char16_t* kElementName = u"tabctrl2";
    static constexpr int kFrameIntervalMs = 50;

    explicit STabCtrl2(QWidget* parent = nullptr);
    ~STabCtrl2() override;

    QString tabHeadBgSkin() const { return headBgName_; }
    void setTabHeadBgSkin(const QString& name);
    QString tabSkin() const { return tabSkinName_; }
    void setTabSkin(const QString& name);
    QString iconSkin() const { return iconSkinName_; }
    void setIconSkin(const QString& name);
    int iconX() const { return iconX_; }
    void setIconX(int x);
    int iconY() const { return iconY_; }
    void setIconY(int y);
    int textX() const { return textX_; }
    void setTextX(int x);
    int textY() const { return textY_; }
    void setTextY(int y);
    int tabWidth() const { return tabWidth_; }
    void setTabWidth(int width);
    int tabHeight() const { return tabHeight_; }
    void setTabHeight(int height);

    // Title colour of the selected tab; others use the tab bar's palette (WindowText).
    QColor selectedTextColor() const { return selectedTextColor_; }
    void setSelectedTextColor(const QColor& color) { selectedTextColor_ = color; }

    // The pointer entered or left the header of tab `index` (the tab bar reports these).
    void OnTabItemHover(int index);
    void OnTabItemLeave(int index);
    // One 10 ms step of the shared timeline.
    void OnTick();

    // What the header of tab `index` shows in its icon rectangle: skin and frame, skin null for none.
    std::pair<const kb::ui::Skin*, int> HeaderIcon(int index) const;
    // Header state index: 2 selected, 1 under the pointer, 0 otherwise.
    int HeaderState(int index) const;
    int HoveredTab() const { return hoveredTab_; }
    bool DrawsHeaders() const;

    // Icon and title of one header, drawn by the tab bar over the header's skin.
    void PaintHeader(QPainter& painter, const QRect& header, int index) const;

  protected:
    void changeEvent(QEvent* event) override;
    // The hovered index follows its tab; a removed hovered tab is forgotten (no "ani_out" for it).
    void tabInserted(int index) override;
    void tabRemoved(int index) override;

  private:
    friend class STabBar2;
    STabPage2* Page(int index) const;
    void UpdateHeader(int index);
    void SetHoveredTab(int index);
    // Tells the timeline whether a header animation needs its ticks now.
    void UpdateBusy();

    QString headBgName_, tabSkinName_, iconSkinName_;
    std::shared_ptr<const kb::ui::Skin> headBg_, tabSkin_, iconSkin_;
    int iconX_ = 0, iconY_ = 0;
    int textX_ = -1, textY_ = -1;
    int tabWidth_ = 0, tabHeight_ = 0;
    QColor selectedTextColor_;
    int hoveredTab_ = -1;
    int tickHandle_ = 0;
};
