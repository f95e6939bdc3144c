// The lighting page: the effect list with its pages of sliders and radios (one page per kind of effect),
// and the side light's list, slider and label. A choice is stored, saved and sent to the keyboard.
#pragma once

#include <array>
#include <vector>

class QComboBox;
class QLabel;
class QRadioButton;
class QSlider;
class QTabWidget;
class QWidget;

namespace kb {
class LightingSender;
namespace ui {
class EventBridge;
class EventTable;
struct WidgetEvent;
}  // namespace ui
}  // namespace kb

namespace kb::app {

class LightingPage {
  public:
    explicit LightingPage(LightingSender& sender);

    LightingPage(const LightingPage&) = delete;
    LightingPage& operator=(const LightingPage&) = delete;

    // The window's rows for the page's sliders and radios.
    void AddEvents(kb::ui::EventTable& table);
    // Finds the page's widgets below `root`, leaves both lists without a selection (so that the first
    // refresh stores, saves and sends what is stored) and listens to the lists.
    void FindWidgets(QWidget* root, kb::ui::EventBridge& bridge);

    // toControls: the stored effect onto its page (and selected in the list when selectInList);
    // otherwise the list's selection and the controls are stored and saved.
    void SyncEffectControls(bool toControls, bool selectInList);
    void SyncSideControls(bool toControls, bool selectInList);
    // "Speed" or "Brightness" for the stored side mode; written again after a language switch.
    void ShowSideLabel();

  private:
    void OnEffectListChanged();
    void OnSideListChanged();
    void OnEffectSlider(const kb::ui::WidgetEvent& event);
    void OnEffectRadio();
    void OnSideSlider(const kb::ui::WidgetEvent& event);
    int EffectListSelection() const;
    int SideListSelection() const;

    LightingSender& sender_;
    QTabWidget* effectTabs_ = nullptr;
    QComboBox* effectList_ = nullptr;
    QComboBox* sideList_ = nullptr;
    QSlider* sideSlider_ = nullptr;
    QLabel* sideLabel_ = nullptr;
    std::array<QSlider*, 4> speedSliders_{};       // by effect page; slot 2 empty
    std::array<QSlider*, 4> brightnessSliders_{};  // by effect page
    std::vector<QRadioButton*> directionRadios_;
    std::vector<QRadioButton*> loaderRadios_;
};

}  // namespace kb::app
