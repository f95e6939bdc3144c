// Where the program folder and the UI package "uires" are, and the package's string table.
#pragma once

#include <QString>

namespace kb::ui {

// The folder of the running program (the executable's directory) unless tests or tools chose another.
QString ProgramFolder();
void SetProgramFolder(const QString& folder);

// `<program folder>/uires`, or the folder named by the environment variable KBSTUDIO_UIRES.
QString PackageFolder();
void SetPackageFolder(const QString& folder);

// A path inside the package folder.
QString PackagePath(const QString& relative);

// Entry `index` of "values/string.xml" (the index-th child element's text); "" when absent.
QString PackageString(int index);

}  // namespace kb::ui
