// Loads the package's Qt Designer layouts, creating the program's widget classes and giving every named
// widget its ID from the named-ID table.
#pragma once

#include <QString>
#include <QUiLoader>
#include <functional>
#include <vector>

class QIODevice;

namespace kb::ui {

struct WidgetClass {
    QString elementName;  // "checkex"
    QString className;    // "SCheckBoxEx", the class written in .ui files
    std::function<QWidget*(QWidget* parent)> create;
};

class LayoutLoader : public QUiLoader {
    Q_OBJECT
  public:
    explicit LayoutLoader(QObject* parent = nullptr);

    // Registration order is kept; a later registration of the same class name replaces the earlier one.
    void RegisterClass(WidgetClass widgetClass);
    const std::vector<WidgetClass>& Classes() const { return classes_; }

    // Loads "uires/layout/<name>.ui"; null when the file is missing or not a layout.
    QWidget* LoadLayout(const QString& name, QWidget* parent = nullptr);
    QWidget* LoadFile(const QString& path, QWidget* parent = nullptr);
    QWidget* LoadDevice(QIODevice* device, QWidget* parent = nullptr);

    // Sets the ID of `root` and of every descendant whose objectName is in the named-ID table.
    static void AssignIds(QWidget* root);
    // List entries marked untranslatable keep their text when the language changes.
    static void KeepUntranslatedItems(QWidget* root);

    QWidget* createWidget(const QString& className, QWidget* parent = nullptr,
                          const QString& name = QString()) override;

  private:
    std::vector<WidgetClass> classes_;
};

}  // namespace kb::ui
