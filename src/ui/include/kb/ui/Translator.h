// The interface language: one installed translation from the package; installing another makes every
// window retranslate (QEvent::LanguageChange).
#pragma once

#include <QString>

namespace kb::ui {

// Installs "uires/i18n/lang_cn.qm" (chinese) or "lang_en.qm" in place of the current translation.
// When the file does not load nothing changes and the result is false.
bool SwitchLanguage(bool chinese);
bool InstallTranslation(const QString& qmPath);
// The base name of the installed translation ("lang_cn", "lang_en"), "" when none.
QString CurrentLanguage();

// A text built by the code, translated with the empty context.
QString Tr(const QString& text);

}  // namespace kb::ui
