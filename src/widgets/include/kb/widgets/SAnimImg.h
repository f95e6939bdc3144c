// An image that plays its "ani_in" frames when the pointer enters (or every few seconds by itself) and
// its "ani_out" frames after the pointer has left.
#pragma once

#include <QTimer>
#include <QWidget>
#include <memory>
#include <utility>

namespace kb::ui {
class Skin;
}

class SAnimImg : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int interval READ interval WRITE setInterval)
    Q_PROPERTY(int autorun READ autorun WRITE setAutorun)
    Q_PROPERTY(QString ani_in READ aniIn WRITE setAniIn)
    Q_PROPERTY(QString ani_out READ aniOut WRITE setAniOut)
  public:
    static constexpr const char16_t* kElementName = u"anmimg";
    enum PlayState { Idle = 0, PlayingIn = 1, PlayingOut = 2 };

    explicit SAnimImg(QWidget* parent = nullptr);
    ~SAnimImg() override;

    int interval() const { return interval_; }
    void setInterval(int ms) { interval_ = ms; }
    int autorun() const { return autorun_; }
    // Seconds before an automatic play, -1 for never; the countdown starts now.
    void setAutorun(int seconds);
    QString aniIn() const { return aniInName_; }
    void setAniIn(const QString& name);
    QString aniOut() const { return aniOutName_; }
    void setAniOut(const QString& name);

    int State() const { return state_; }
    int Frame() const { return frame_; }
    int HoverCount() const { return hoverCount_; }
    bool AutorunPending() const { return autorunPending_; }
    // The skin and frame a paint would draw now; skin null when nothing is drawn.
    std::pair<const kb::ui::Skin*, int> ShownFrame() const;

    void PointerEntered();
    void PointerLeft();
    // One 10 ms step of the shared timeline.
    void OnTick();

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    void Advance();
    // Tells the timeline whether this image needs its ticks now.
    void UpdateBusy();

    QString aniInName_;
    QString aniOutName_;
    std::shared_ptr<const kb::ui::Skin> aniIn_;
    std::shared_ptr<const kb::ui::Skin> aniOut_;
    int interval_ = 50;
    int autorun_ = -1;
    int state_ = Idle;
    int frame_ = 0;
    int frameTime_ = 0;
    int hoverCount_ = 0;
    bool autorunPending_ = false;
    int autorunCountdown_ = 0;
    int autorunElapsed_ = 0;
    int tickHandle_ = 0;
    QTimer autorunWait_;  // waits out the autorun delay without ticks while nothing else animates
};
