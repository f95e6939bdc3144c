#include "kb/widgets/STabPage2.h"

#include "kb/ui/Skin.h"

STabPage2::STabPage2(QWidget* parent) : QWidget(parent) {}

void STabPage2::setAniIn(const QString& name) {
    aniInName_ = name;
    aniIn_ = kb::ui::SkinPool::Shared().Find(name);
}

void STabPage2::setAniOut(const QString& name) {
    aniOutName_ = name;
    aniOut_ = kb::ui::SkinPool::Shared().Find(name);
}
