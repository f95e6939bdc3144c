#include "kb/ui/Package.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QXmlStreamReader>

namespace kb::ui {
namespace {

QString& ProgramFolderOverride() {
    static QString folder;
    return folder;
}

QString& PackageFolderOverride() {
    static QString folder;
    return folder;
}

}  // namespace

QString ProgramFolder() {
    if (!ProgramFolderOverride().isEmpty()) {
        return ProgramFolderOverride();
    }
    return QCoreApplication::applicationDirPath();
}

void SetProgramFolder(const QString& folder) {
    ProgramFolderOverride() = folder;
}

QString PackageFolder() {
    if (!PackageFolderOverride().isEmpty()) {
        return PackageFolderOverride();
    }
    const QString fromEnvironment = qEnvironmentVariable("KBSTUDIO_UIRES");
    if (!fromEnvironment.isEmpty()) {
        return fromEnvironment;
    }
    return QDir(ProgramFolder()).filePath(QStringLiteral("uires"));
}

void SetPackageFolder(const QString& folder) {
    PackageFolderOverride() = folder;
}

QString PackagePath(const QString& relative) {
    return QDir(PackageFolder()).filePath(relative);
}

QString PackageString(int index) {
    QFile file(PackagePath(QStringLiteral("values/string.xml")));
    if (index < 0 || !file.open(QIODevice::ReadOnly)) {
        return {};
    }
    QXmlStreamReader xml(&file);
    if (!xml.readNextStartElement()) {
        return {};
    }
    int entry = 0;
    while (xml.readNextStartElement()) {
        if (entry == index) {
            const QString text = xml.readElementText(QXmlStreamReader::IncludeChildElements);
            return xml.hasError() ? QString() : text;
        }
        xml.skipCurrentElement();
        ++entry;
    }
    return {};
}

}  // namespace kb::ui
