#include "kb/app/Language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <memory>

#include "kb/ui/Translator.h"

namespace kb::app {
namespace {

std::unique_ptr<QTranslator>& QtTranslation() {
    static std::unique_ptr<QTranslator> translator;
    return translator;
}

}  // namespace

bool InstallLanguage(bool chinese) {
    if (!kb::ui::SwitchLanguage(chinese)) {
        return false;
    }
    std::unique_ptr<QTranslator>& current = QtTranslation();
    if (current) {
        QCoreApplication::removeTranslator(current.get());
        current.reset();
    }
    if (chinese) {
        // Qt's own texts; English needs none. Missing files leave Qt's English texts.
        auto translator = std::make_unique<QTranslator>();
        if (translator->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                             QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
            QCoreApplication::installTranslator(translator.get());
            current = std::move(translator);
        }
    }
    return true;
}

}  // namespace kb::app
