// The lighting page: the effect list with its pages of sliders and radios, and the side light.
#include <QComboBox>
#include <QLabel>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>

#include "SaveTrace.h"
#include "kb/app/MainDlg.h"
#include "kb/common/Trace.h"
#include "kb/lighting/LedEffectConfig.h"
#include "kb/lighting/SideLightConfig.h"
#include "kb/ui/Lookup.h"
#include "kb/ui/Translator.h"

namespace kb::app {
namespace {

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

void SelectIfPresent(QComboBox* list, int entry) {
    // Selecting with change notification: when the selection changes, the list's handler runs now.
    if (list != nullptr && entry >= 0 && entry < list->count()) {
        list->setCurrentIndex(entry);
    }
}

}  // namespace

int CMainDlg::EffectListSelection() const {
    return effectList_ != nullptr ? effectList_->currentIndex() : -1;
}

int CMainDlg::SideListSelection() const {
    return sideList_ != nullptr ? sideList_->currentIndex() : -1;
}

void CMainDlg::SyncEffectControls(bool toControls, bool selectInList) {
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
                // A selection outside 1 to 3 (0 after a factory reset) shows none checked.
                const bool exclusive = radio->autoExclusive();
                radio->setAutoExclusive(false);
                radio->setChecked(false);
                radio->setAutoExclusive(exclusive);
            }
        }
    } else {
        showPage(kAnimatedPage);
        SetSlider(speedSliders_[kAnimatedPage], item->speed);
        SetSlider(brightnessSliders_[kAnimatedPage], item->brightness);
    }
}

void CMainDlg::ShowSideLabel() {
    if (sideLabel_ != nullptr) {
        const int cur = SideLightConfig::Instance().GetSel();
        sideLabel_->setText(kb::ui::Tr(cur <= 2 ? QStringLiteral("Speed") : QStringLiteral("Brightness")));
    }
}

void CMainDlg::SyncSideControls(bool toControls, bool selectInList) {
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

void CMainDlg::OnEffectListChanged() {
    const int sel = EffectListSelection();
    LedEffectConfig& effects = LedEffectConfig::Instance();
    TraceFailedSave(effects.SetSel(sel), effects);  // stores and saves
    SyncEffectControls(true, false);
    if (sel >= 0) {
        sender_->SendLedEffect(sel);
    }
}

void CMainDlg::OnSideListChanged() {
    const int sel = SideListSelection();
    SideLightConfig& sides = SideLightConfig::Instance();
    TraceFailedSave(sides.SetSel(sel), sides);  // stores and saves
    SyncSideControls(true, false);
    if (sel >= 0) {
        sender_->SendSideLight(sel);
    }
}

void CMainDlg::OnEffectSlider(const kb::ui::WidgetEvent& event) {
    if (!kb::ui::IsClass(event.sender, u"sliderbar")) {
        return;
    }
    SyncEffectControls(false, false);
    // Without a selection there is nothing to send (-1 would mean "the stored effect" to the sender).
    if (const int sel = EffectListSelection(); sel >= 0) {
        sender_->SendLedEffect(sel);
    }
}

void CMainDlg::OnEffectRadio() {
    SyncEffectControls(false, false);
    if (const int sel = EffectListSelection(); sel >= 0) {
        sender_->SendLedEffect(sel);
    }
}

void CMainDlg::OnSideSlider(const kb::ui::WidgetEvent& event) {
    if (!kb::ui::IsClass(event.sender, u"sliderbar")) {
        return;
    }
    SyncSideControls(false, false);
    if (const int sel = SideListSelection(); sel >= 0) {
        sender_->SendSideLight(sel);
    }
}

}  // namespace kb::app
