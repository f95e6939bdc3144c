#include "kb/app/LightingPage.h"

#include <QComboBox>
#include <QLabel>
#include <QRadioButton>
#include <QSlider>
#include <QTabBar>
#include <QTabWidget>
#include <span>

#include "SaveTrace.h"
#include "kb/common/Trace.h"
#include "kb/device/LightingSender.h"
#include "kb/lighting/LedEffectConfig.h"
#include "kb/lighting/SideLightConfig.h"
#include "kb/ui/Events.h"
#include "kb/ui/Lookup.h"
#include "kb/ui/Translator.h"

namespace kb::app {
namespace {

constexpr int kSpeedSliderIds[4] = {65543, 65547, 0, 65550};
constexpr int kBrightnessSliderIds[4] = {65544, 65548, 65549, 65551};
constexpr int kDirectionRadioIds[] = {65545, 65546};
// The loader group has three buttons; all three are collected so that start-up unchecks whichever the
// layout pre-checked.
constexpr int kLoaderRadioIds[] = {65552, 65553, 65554};

// Effect page of the tab control: 2 for effect 0, 3 for effect 1, 1 for effects 2 to 19.
constexpr int kStaticPage = 2;
constexpr int kSweepPage = 3;
constexpr int kAnimatedPage = 1;

void SaveEffects() {
    LedEffectConfig& effects = LedEffectConfig::Instance();
    TraceFailedSave(effects.Save(), effects);
}

void SaveSides() {
    SideLightConfig& sides = SideLightConfig::Instance();
    TraceFailedSave(sides.Save(), sides);
}

void SetSlider(QSlider* slider, int value) {
    if (slider != nullptr) {
        slider->setValue(value);  // clamped to the slider's range; raises no event
    }
}

uint8_t SliderByte(const QSlider* slider, uint8_t fallback) {
    return slider != nullptr ? static_cast<uint8_t>(slider->value() & 0xFF) : fallback;
}

// An exclusive radio cannot be unchecked directly; the page must be able to show "none checked".
void Uncheck(QRadioButton* radio) {
    const bool exclusive = radio->autoExclusive();
    radio->setAutoExclusive(false);
    radio->setChecked(false);
    radio->setAutoExclusive(exclusive);
}

std::vector<QRadioButton*> CollectRadios(QWidget* root, std::span<const int> ids) {
    std::vector<QRadioButton*> radios;
    for (int id : ids) {
        if (auto* radio = kb::ui::FindById<QRadioButton>(root, id, u"radio")) {
            Uncheck(radio);
            radios.push_back(radio);
        }
    }
    return radios;
}

void SelectIfPresent(QComboBox* list, int entry) {
    // Selecting with change notification: when the selection changes, the list's handler runs now.
    if (list != nullptr && entry >= 0 && entry < list->count()) {
        list->setCurrentIndex(entry);
    }
}

}  // namespace

LightingPage::LightingPage(LightingSender& sender) : sender_(sender) {}

void LightingPage::AddEvents(kb::ui::EventTable& table) {
    const QString command = QString::fromUtf16(kb::ui::kEventCommand);
    const QString slider = QString::fromUtf16(kb::ui::kEventSliderPos);
    auto effectSlider = [this](const kb::ui::WidgetEvent& e) { OnEffectSlider(e); };
    table
        .OnIdRange(command, kDirectionRadioIds[0], kDirectionRadioIds[1],
                   [this](const auto&) { OnEffectRadio(); })
        .OnIdRange(command, kLoaderRadioIds[0], kLoaderRadioIds[2], [this](const auto&) { OnEffectRadio(); })
        .OnNames(slider,
                 {QStringLiteral("bar_general_speed_0"), QStringLiteral("bar_const_brightness_0"),
                  QStringLiteral("bar_general_speed_1"), QStringLiteral("bar_const_brightness_1"),
                  QStringLiteral("bar_const_brightness_2")},
                 effectSlider)
        .OnName(slider, QStringLiteral("bar_side_brightness"),
                [this](const kb::ui::WidgetEvent& e) { OnSideSlider(e); })
        .OnNames(slider, {QStringLiteral("bar_general_speed_3"), QStringLiteral("bar_const_brightness_3")},
                 effectSlider);
}

void LightingPage::FindWidgets(QWidget* root, kb::ui::EventBridge& bridge) {
    using kb::ui::FindById;
    using kb::ui::FindByName;
    effectTabs_ = FindByName<QTabWidget>(root, u"tab_color_effect", u"tabctrl");
    effectList_ = FindByName<QComboBox>(root, u"cbx_color_effect", u"combobox");
    sideList_ = FindByName<QComboBox>(root, u"cbx_side_color_effect", u"combobox");
    sideSlider_ = FindByName<QSlider>(root, u"bar_side_brightness", u"sliderbar");
    sideLabel_ = FindByName<QLabel>(root, u"text_side_brightness", u"window");
    for (int page = 0; page < 4; ++page) {
        speedSliders_[page] = FindById<QSlider>(root, kSpeedSliderIds[page], u"sliderbar");
        brightnessSliders_[page] = FindById<QSlider>(root, kBrightnessSliderIds[page], u"sliderbar");
    }
    directionRadios_ = CollectRadios(root, kDirectionRadioIds);
    loaderRadios_ = CollectRadios(root, kLoaderRadioIds);

    if (effectTabs_ != nullptr) {
        // The stored effect chooses the page; the user never switches pages directly.
        effectTabs_->tabBar()->hide();
        effectTabs_->tabBar()->setFocusPolicy(Qt::NoFocus);
        effectTabs_->setFocusPolicy(Qt::NoFocus);
    }
    for (QComboBox* list : {effectList_, sideList_}) {
        if (list != nullptr) {
            const QSignalBlocker quiet(list);
            list->setCurrentIndex(-1);
        }
    }

    const QString selChange = QString::fromUtf16(kb::ui::kEventComboSelChange);
    if (effectList_ != nullptr) {
        bridge.Subscribe(effectList_, selChange, [this](const kb::ui::WidgetEvent&) {
            OnEffectListChanged();
            return true;
        });
    }
    if (sideList_ != nullptr) {
        bridge.Subscribe(sideList_, selChange, [this](const kb::ui::WidgetEvent&) {
            OnSideListChanged();
            return true;
        });
    }
}

int LightingPage::EffectListSelection() const {
    return effectList_ != nullptr ? effectList_->currentIndex() : -1;
}

int LightingPage::SideListSelection() const {
    return sideList_ != nullptr ? sideList_->currentIndex() : -1;
}

void LightingPage::SyncEffectControls(bool toControls, bool selectInList) {
    LedEffectConfig& effects = LedEffectConfig::Instance();
    if (!toControls) {
        const int sel = EffectListSelection();
        TraceFailedSave(effects.SetSel(sel), effects);  // stores and saves
        LedEffectItem* item = sel >= 0 ? effects.GetItem(sel) : nullptr;
        if (item == nullptr) {
            return;
        }
        if (sel == 0) {
            item->brightness = SliderByte(brightnessSliders_[kStaticPage], item->brightness);
        } else if (sel == 1) {
            item->brightness = SliderByte(brightnessSliders_[kSweepPage], item->brightness);
            int selection = 3;
            for (std::size_t i = 0; i < loaderRadios_.size(); ++i) {
                if (loaderRadios_[i]->isChecked()) {
                    selection = static_cast<int>(i) + 1;
                    break;
                }
            }
            item->selection = static_cast<uint8_t>(selection);
        } else {
            item->speed = SliderByte(speedSliders_[kAnimatedPage], item->speed);
            item->brightness = SliderByte(brightnessSliders_[kAnimatedPage], item->brightness);
        }
        SaveEffects();
        return;
    }

    const int cur = effects.GetSel();
    if (selectInList) {
        SelectIfPresent(effectList_, cur);
    }
    const LedEffectItem* item = cur >= 0 ? effects.GetItem(cur) : nullptr;
    if (item == nullptr) {
        return;  // a selection without a record: no page change, no control change
    }
    auto showPage = [this](int page) {
        if (effectTabs_ != nullptr) {
            effectTabs_->setCurrentIndex(page);
        }
    };
    if (cur == 0) {
        showPage(kStaticPage);
        SetSlider(brightnessSliders_[kStaticPage], item->brightness);
    } else if (cur == 1) {
        showPage(kSweepPage);
        SetSlider(brightnessSliders_[kSweepPage], item->brightness);
        const int checked = item->selection - 1;
        for (std::size_t i = 0; i < loaderRadios_.size(); ++i) {
            QRadioButton* radio = loaderRadios_[i];
            if (static_cast<int>(i) == checked) {
                radio->setChecked(true);
            } else if (radio->isChecked()) {
                Uncheck(radio);  // a selection outside 1 to 3 (0 after a factory reset) shows none checked
            }
        }
    } else {
        showPage(kAnimatedPage);
        SetSlider(speedSliders_[kAnimatedPage], item->speed);
        SetSlider(brightnessSliders_[kAnimatedPage], item->brightness);
    }
}

void LightingPage::ShowSideLabel() {
    if (sideLabel_ != nullptr) {
        const int cur = SideLightConfig::Instance().GetSel();
        sideLabel_->setText(kb::ui::Tr(cur <= 2 ? QStringLiteral("Speed") : QStringLiteral("Brightness")));
    }
}

void LightingPage::SyncSideControls(bool toControls, bool selectInList) {
    SideLightConfig& sides = SideLightConfig::Instance();
    if (!toControls) {
        const int sel = SideListSelection();
        TraceFailedSave(sides.SetSel(sel), sides);  // stores and saves
        if (SideLightItem* item = sel >= 0 ? sides.GetItem(sel) : nullptr; item != nullptr) {
            item->level =
                static_cast<uint8_t>(sideSlider_ != nullptr ? sideSlider_->value() & 0x0F : item->level);
            SaveSides();
        }
        return;
    }
    const int cur = sides.GetSel();
    ShowSideLabel();
    if (selectInList) {
        SelectIfPresent(sideList_, cur);
    }
    if (const SideLightItem* item = cur >= 0 ? sides.GetItem(cur) : nullptr; item != nullptr) {
        SetSlider(sideSlider_, item->level);
    }
}

void LightingPage::OnEffectListChanged() {
    const int sel = EffectListSelection();
    LedEffectConfig& effects = LedEffectConfig::Instance();
    TraceFailedSave(effects.SetSel(sel), effects);  // stores and saves
    SyncEffectControls(true, false);
    if (sel >= 0) {
        sender_.SendLedEffect(sel);
    }
}

void LightingPage::OnSideListChanged() {
    const int sel = SideListSelection();
    SideLightConfig& sides = SideLightConfig::Instance();
    TraceFailedSave(sides.SetSel(sel), sides);  // stores and saves
    SyncSideControls(true, false);
    if (sel >= 0) {
        sender_.SendSideLight(sel);
    }
}

void LightingPage::OnEffectSlider(const kb::ui::WidgetEvent& event) {
    if (!kb::ui::IsClass(event.sender, u"sliderbar")) {
        return;
    }
    SyncEffectControls(false, false);
    // Without a selection there is nothing to send (-1 would mean "the stored effect" to the sender).
    if (const int sel = EffectListSelection(); sel >= 0) {
        sender_.SendLedEffect(sel);
    }
}

void LightingPage::OnEffectRadio() {
    SyncEffectControls(false, false);
    if (const int sel = EffectListSelection(); sel >= 0) {
        sender_.SendLedEffect(sel);
    }
}

void LightingPage::OnSideSlider(const kb::ui::WidgetEvent& event) {
    if (!kb::ui::IsClass(event.sender, u"sliderbar")) {
        return;
    }
    SyncSideControls(false, false);
    if (const int sel = SideListSelection(); sel >= 0) {
        sender_.SendSideLight(sel);
    }
}

}  // namespace kb::app
