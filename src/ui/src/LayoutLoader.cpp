#include "kb/ui/LayoutLoader.h"

#include <QBuffer>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QWidget>

#include "LooseProperties.h"
#include "kb/ui/Accessibility.h"
#include "kb/ui/NamedIds.h"
#include "kb/ui/Package.h"

namespace kb::ui {
namespace {

QStringList& SavedLibraryPaths() {
    static QStringList paths;
    return paths;
}

// QUiLoader loads every Qt Designer plugin it finds under the library paths as it is constructed.
// Our classes come from the table below, never from such plugins, and loading them (QQuickWidget's
// pulls in Qt Quick and QML) costs start-up time and megabytes: the paths are hidden meanwhile.
QObject* WithoutDesignerPlugins(QObject* parent) {
    SavedLibraryPaths() = QCoreApplication::libraryPaths();
    QCoreApplication::setLibraryPaths({});
    return parent;
}

}  // namespace

LayoutLoader::LayoutLoader(QObject* parent) : QUiLoader(WithoutDesignerPlugins(parent)) {
    QCoreApplication::setLibraryPaths(SavedLibraryPaths());
    InstallAccessibility();
    setTranslationEnabled(true);
    // Loaded windows retranslate their texts themselves when the language changes.
    setLanguageChangeEnabled(true);
    setWorkingDirectory(QDir(PackageFolder()));
}

void LayoutLoader::RegisterClass(WidgetClass widgetClass) {
    for (WidgetClass& known : classes_) {
        if (known.className == widgetClass.className) {
            known = std::move(widgetClass);
            return;
        }
    }
    classes_.push_back(std::move(widgetClass));
}

QWidget* LayoutLoader::LoadLayout(const QString& name, QWidget* parent) {
    return LoadFile(PackagePath(QStringLiteral("layout/%1.ui").arg(name)), parent);
}

QWidget* LayoutLoader::LoadFile(const QString& path, QWidget* parent) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return nullptr;
    }
    return LoadDevice(&file, parent);
}

QWidget* LayoutLoader::LoadDevice(QIODevice* device, QWidget* parent) {
    // Read once, parsed twice: by Qt's loader and by the pass that applies the layout rules it lacks.
    QByteArray ui = device->readAll();
    QBuffer buffer(&ui);
    buffer.open(QIODevice::ReadOnly);
    QWidget* root = load(&buffer, parent);
    ApplyLooseProperties(root, ui);
    KeepUntranslatedItems(root);
    AssignIds(root);
    return root;
}

void LayoutLoader::KeepUntranslatedItems(QWidget* root) {
    if (root == nullptr) {
        return;
    }
    // Qt's loader keeps a list entry's source text for the retranslation of a language change; for an
    // entry marked notr="true" it keeps the plain text, which the retranslation then turns into an empty
    // string. Such entries have nothing to retranslate: forget their source so they keep their text.
    const auto lists = root->findChildren<QComboBox*>();
    for (QComboBox* list : lists) {
        for (int i = 0; i < list->count(); ++i) {
            if (list->itemData(i, Qt::DisplayPropertyRole).typeId() == QMetaType::QString) {
                list->setItemData(i, QVariant(), Qt::DisplayPropertyRole);
            }
        }
    }
}

void LayoutLoader::AssignIds(QWidget* root) {
    if (root == nullptr) {
        return;
    }
    if (const auto id = IdForName(root->objectName())) {
        SetWidgetId(root, *id);
    }
    const auto descendants = root->findChildren<QWidget*>();
    for (QWidget* widget : descendants) {
        if (const auto id = IdForName(widget->objectName())) {
            SetWidgetId(widget, *id);
        }
    }
}

QWidget* LayoutLoader::createWidget(const QString& className, QWidget* parent, const QString& name) {
    for (const WidgetClass& known : classes_) {
        if (known.className == className) {
            QWidget* widget = known.create(parent);
            if (widget != nullptr) {
                widget->setObjectName(name);
            }
            return widget;
        }
    }
    return QUiLoader::createWidget(className, parent, name);
}

}  // namespace kb::ui
