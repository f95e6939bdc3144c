// The interface language: the package's translation plus Qt's own texts (standard buttons, the edit
// fields' context menu) in the same language.
#pragma once

namespace kb::app {

// Installs "lang_cn" (chinese) or "lang_en"; false, with nothing changed, when the package's file does not
// load. Every open window retranslates.
bool InstallLanguage(bool chinese);

}  // namespace kb::app
