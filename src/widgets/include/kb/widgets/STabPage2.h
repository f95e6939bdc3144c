// A tab page whose header plays "ani_in" while the pointer enters it and "ani_out" after it leaves.
#pragma once

#include <QWidget>
#include <memory>

namespace kb::ui {
class Skin;
}

class STabPage2 : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString ani_in READ aniIn WRITE setAniIn)
    Q_PROPERTY(QString ani_out READ aniOut WRITE setAniOut)
    Q_PROPERTY(int iconIndex READ iconIndex WRITE setIconIndex)
  public:
    static constexpr const char16_t* kElementName = u"page2";
    enum AnimState { None = 0, In = 1, Out = 2 };

    explicit STabPage2(QWidget* parent = nullptr);

    QString aniIn() const { return aniInName_; }
    void setAniIn(const QString& name);
    QString aniOut() const { return aniOutName_; }
    void setAniOut(const QString& name);
    int iconIndex() const { return iconIndex_; }
    void setIconIndex(int index) { iconIndex_ = index; }

    const kb::ui::Skin* AniInSkin() const { return aniIn_.get(); }
    const kb::ui::Skin* AniOutSkin() const { return aniOut_.get(); }

    // Animation run by the tab control.
    int animState = None;
    int animFrame = 0;
    int countdown = 0;

  private:
    QString aniInName_;
    QString aniOutName_;
    std::shared_ptr<const kb::ui::Skin> aniIn_;
    std::shared_ptr<const kb::ui::Skin> aniOut_;
    int iconIndex_ = -1;
};
