#include "kb/ui/Translator.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTranslator>
#include <memory>

#include "kb/ui/Package.h"

namespace kb::ui {
namespace {

struct Installed {
    std::unique_ptr<QTranslator> translator;
    QString name;
};

Installed& Current() {
    static Installed installed;
    return installed;
}

}  // namespace

bool InstallTranslation(const QString& qmPath) {
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(qmPath)) {
        return false;
    }
    Installed& current = Current();
    if (current.translator) {
        QCoreApplication::removeTranslator(current.translator.get());
    }
    // Installing sends QEvent::LanguageChange to every window, which retranslates its texts.
    QCoreApplication::installTranslator(translator.get());
    current.translator = std::move(translator);
    current.name = QFileInfo(qmPath).completeBaseName();
    return true;
}

bool SwitchLanguage(bool chinese) {
    return InstallTranslation(
        PackagePath(chinese ? QStringLiteral("i18n/lang_cn.qm") : QStringLiteral("i18n/lang_en.qm")));
}

QString CurrentLanguage() {
    return Current().name;
}

QString Tr(const QString& text) {
    const QByteArray source = text.toUtf8();
    return QCoreApplication::translate("", source.constData());
}

}  // namespace kb::ui
